#include "Export/ClipboardExporter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

#include "Export/ImageEncoder.h"
#include "Export/PendingImageMimeData.h"

namespace {

// What Tessik itself holds on the clipboard now, as a copy that can be put back; nothing when
// another application owns it (its data would have to be fetched from it).
std::unique_ptr<QMimeData> copyOfOwnContent(QClipboard::Mode mode) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    // The offscreen platform keeps the clipboard inside the process and reports no owner.
    const bool owned =
        (mode == QClipboard::Clipboard ? clipboard->ownsClipboard() : clipboard->ownsSelection()) ||
        QGuiApplication::platformName() == QLatin1String("offscreen");
    const QMimeData* current = owned ? clipboard->mimeData(mode) : nullptr;
    if (!current) return nullptr;
    if (const auto* pending = qobject_cast<const PendingImageMimeData*>(current))
        return std::make_unique<PendingImageMimeData>(pending->bytes());
    auto copy = std::make_unique<QMimeData>();
    for (const QString& format : current->formats()) copy->setData(format, current->data(format));
    return copy;
}

// PNG first, on every core, and served as soon as it is ready: it is what a paste asks for
// nearly always. TIFF follows. Nothing is left waiting: a failure answers both types.
std::optional<AnyError> encodeBoth(const ImageEncoding& encode,
                                   const std::expected<QImage, AnyError>& made,
                                   PendingImageBytes& bytes) {
    std::optional<AnyError> failure;
    for (const QString& type : {ImageEncoder::png, ImageEncoder::tiff}) {
        PendingImageBytes::Outcome outcome = failure ? std::unexpected(*failure)
                                             : made  ? encode(*made, type)
                                                     : std::unexpected(made.error());
        if (!outcome && !failure) failure = outcome.error();
        bytes.fulfil(type, std::move(outcome));
    }
    return failure;
}

}  // namespace

ClipboardExporter::ClipboardExporter(std::optional<QString> pasteboardName, ImageEncoding encode)
    : m_pasteboardName(std::move(pasteboardName)), m_encode(std::move(encode)) {
}

QClipboard::Mode ClipboardExporter::mode() const {
    return m_pasteboardName ? QClipboard::Selection : QClipboard::Clipboard;
}

QFuture<ExportOutcome> ClipboardExporter::exportImage(QImage image) {
    return exportPending(QtFuture::makeReadyFuture(std::expected<QImage, AnyError>(image)));
}

QFuture<ExportOutcome> ClipboardExporter::exportPending(PendingImage image) {
    const QClipboard::Mode target = mode();
    auto previous = std::make_shared<std::unique_ptr<QMimeData>>(copyOfOwnContent(target));
    auto bytes = std::make_shared<PendingImageBytes>();
    QPointer<QMimeData> taken = new PendingImageMimeData(bytes);
    QGuiApplication::clipboard()->setMimeData(taken, target);
    // Encoded as soon as the image is made, on a worker: a paste waiting on the main thread
    // never waits for the main thread itself.
    const ImageEncoding encode = m_encode;
    auto encoded = image.then(QtFuture::Launch::Async,
                              [encode, bytes](const std::expected<QImage, AnyError>& made) {
                                  return encodeBoth(encode, made, *bytes);
                              });
    return encoded.then(
        QCoreApplication::instance(),
        [target, taken, previous](const std::optional<AnyError>& failure) -> ExportOutcome {
            if (!failure) return {};
            QClipboard* clipboard = QGuiApplication::clipboard();
            if (taken && clipboard->mimeData(target) == taken.data()) {
                if (*previous)
                    clipboard->setMimeData(previous->release(), target);
                else
                    clipboard->clear(target);
            }
            return std::unexpected(*failure);
        });
}
