#include "Export/ImageEncoder.h"

#include <QBuffer>
#include <QImageWriter>

#include "Base/Localization.h"
#include "Export/FreshMemory.h"
#include "Export/PngWriter.h"

namespace ImageEncoder {

QString Failure::description() const {
    switch (kind) {
        case Case::unsupportedType:
            return localized("Format d'image non pris en charge : ") + type;
        case Case::encodingFailed:
            return localized("L'encodage de l'image a échoué.");
    }
    return {};
}

namespace {

// Qt's writer name for each supported type.
QByteArray writerFormat(const QString& type) {
    if (type == png) return "png";
    if (type == tiff) return "tiff";
    return {};
}

// Room for the whole uncompressed frame plus headers, so the buffer never grows while the
// writer fills it: growing means copying and touching fresh pages.
qsizetype expectedSize(const QImage& image, const QString& type) {
    const qsizetype pixels = qsizetype(image.width()) * image.height();
    return type == tiff ? pixels * 4 + 64 * 1024 : pixels + 64 * 1024;
}

}  // namespace

std::expected<QByteArray, Failure> data(const QImage& from, const QString& as) {
    const QByteArray format = writerFormat(as);
    if (format.isEmpty()) return std::unexpected(Failure::unsupportedType(as));

    if (as == png) {
        auto bytes = PngWriter::encoded(from);
        if (!bytes) return std::unexpected(Failure::encodingFailed());
        return std::move(*bytes);
    }

    // Emptied but with its room kept: the writer appends, and may seek back to patch.
    QByteArray bytes = freshBytes(expectedSize(from, as));
    bytes.resize(0);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.canWrite()) return std::unexpected(Failure::unsupportedType(as));
    if (from.isNull() || !writer.write(from)) return std::unexpected(Failure::encodingFailed());
    buffer.close();
    return bytes;
}

}  // namespace ImageEncoder
