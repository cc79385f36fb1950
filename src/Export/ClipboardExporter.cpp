#include "Export/ClipboardExporter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QtConcurrent/QtConcurrentRun>

#include "Export/ImageEncoder.h"

namespace {

struct Encoded {
    QByteArray png;
    QByteArray tiff;
};

}  // namespace

ClipboardExporter::ClipboardExporter(std::optional<QString> pasteboardName, ImageEncoding encode)
    : m_pasteboardName(std::move(pasteboardName)), m_encode(std::move(encode)) {
}

QClipboard::Mode ClipboardExporter::mode() const {
    return m_pasteboardName ? QClipboard::Selection : QClipboard::Clipboard;
}

QFuture<ExportOutcome> ClipboardExporter::exportImage(QImage image) {
    const ImageEncoding encode = m_encode;
    auto encoded = QtConcurrent::run([encode, image]() -> std::expected<Encoded, AnyError> {
        // The two encodings are independent: TIFF runs on a second worker meanwhile. Waiting
        // on it cannot starve the pool, since a waiting worker runs a task not yet started.
        auto tiffTask =
            QtConcurrent::run([encode, image] { return encode(image, ImageEncoder::tiff); });
        auto png = encode(image, ImageEncoder::png);
        auto tiff = tiffTask.result();
        if (!png) return std::unexpected(png.error());
        if (!tiff) return std::unexpected(tiff.error());
        return Encoded{std::move(*png), std::move(*tiff)};
    });
    const QClipboard::Mode target = mode();
    const quint64 ticket = ++m_order->requested;
    return encoded.then(QCoreApplication::instance(),
                        [target, ticket, order = m_order](
                            const std::expected<Encoded, AnyError>& bytes) -> ExportOutcome {
                            if (!bytes) return std::unexpected(bytes.error());
                            // A later copy that finished encoding first has already replaced
                            // the clipboard: the newest image the user asked for stays.
                            if (ticket < order->written) return {};
                            order->written = ticket;
                            auto* data = new QMimeData;
                            data->setData(ImageEncoder::png, bytes->png);
                            data->setData(ImageEncoder::tiff, bytes->tiff);
                            QGuiApplication::clipboard()->setMimeData(data, target);
                            return {};
                        });
}
