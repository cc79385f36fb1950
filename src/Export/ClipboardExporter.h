#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include <QClipboard>
#include <QString>

#include "Export/Exporter.h"
#include "Export/ImageEncoding.h"

// Puts an image on the clipboard as PNG then TIFF. Both are encoded on worker threads; the
// clipboard is then replaced on the main thread in one step, so nobody sees it empty, and an
// encoding failure leaves it untouched. The encoded bytes are kept and served as they are on
// every paste while Tessik runs. When copies overlap, the clipboard ends with the one asked
// for last, whichever finishes encoding first.
class ClipboardExporter final : public Exporter {
public:
    // No name: the clipboard. Any name: the X11 primary selection, the other clipboard X offers.
    explicit ClipboardExporter(std::optional<QString> pasteboardName = std::nullopt,
                               ImageEncoding encode = standardImageEncoding());

    const std::optional<QString>& pasteboardName() const { return m_pasteboardName; }
    QClipboard::Mode mode() const;

    QFuture<ExportOutcome> exportImage(QImage image) override;

private:
    // Copies are numbered when asked for (from any thread); `written` is the newest number
    // on the clipboard, kept by the main thread.
    struct Order {
        std::atomic<quint64> requested = 0;
        quint64 written = 0;
    };

    std::optional<QString> m_pasteboardName;
    std::shared_ptr<Order> m_order = std::make_shared<Order>();
    ImageEncoding m_encode;
};
