#pragma once

#include <memory>
#include <optional>

#include <QClipboard>
#include <QString>

#include "Export/Exporter.h"
#include "Export/ImageEncoding.h"

// Puts an image on the clipboard as PNG then TIFF. The clipboard is taken at once, on the main
// thread, with content whose bytes come when a paste asks (PendingImageMimeData): a Wayland
// compositor accepts it only while a Tessik window has the keyboard, so it must be taken before
// the overlays close, while the image is still being composed. Both encodings run once, on
// worker threads; the bytes are served as they are on every paste while Tessik runs. When
// copies overlap, the clipboard ends with the one asked for last. A failure to make or encode
// the image gives back what Tessik itself had on the clipboard before, or else empties it,
// so that nothing unreadable stays there.
class ClipboardExporter final : public Exporter {
public:
    // No name: the clipboard. Any name: the X11 primary selection, the other clipboard X offers.
    explicit ClipboardExporter(std::optional<QString> pasteboardName = std::nullopt,
                               ImageEncoding encode = standardImageEncoding());

    const std::optional<QString>& pasteboardName() const { return m_pasteboardName; }
    QClipboard::Mode mode() const;

    // Main thread.
    QFuture<ExportOutcome> exportImage(QImage image) override;
    QFuture<ExportOutcome> exportPending(PendingImage image) override;

private:
    std::optional<QString> m_pasteboardName;
    ImageEncoding m_encode;
};
