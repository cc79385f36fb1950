#include "Export/ImageEncoder.h"

#include "Base/Localization.h"
#include "Export/PngWriter.h"
#include "Export/TiffWriter.h"

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

std::expected<QByteArray, Failure> data(const QImage& from, const QString& as) {
    std::optional<QByteArray> bytes;
    if (as == png)
        bytes = PngWriter::encoded(from);
    else if (as == tiff)
        bytes = TiffWriter::encoded(from);
    else
        return std::unexpected(Failure::unsupportedType(as));
    if (!bytes) return std::unexpected(Failure::encodingFailed());
    return std::move(*bytes);
}

}  // namespace ImageEncoder
