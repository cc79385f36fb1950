#pragma once

#include <functional>

#include <QList>

#include "Capture/ScreenDescriptor.h"
#include "Export/ExportAction.h"
#include "Overlay/OverlayResult.h"

// What the application asks of the overlay of an area capture. Both callbacks run after every
// overlay window is gone.
class OverlayPresenting {
public:
    virtual ~OverlayPresenting() = default;

    std::function<void()> onCancel;
    std::function<void(const OverlayResult&, ExportAction)> onComplete;
    // Runs just before the overlays close with a result, while one of them still has the
    // keyboard: the one moment a Wayland compositor lets Tessik take the clipboard.
    std::function<void(const OverlayResult&, ExportAction)> onCompleting;

    // True while overlays are on screen.
    virtual bool hasSessions() const = 0;
    // Covers every display with its frozen image; ignored while overlays are up.
    virtual void present(const QList<DisplayCapture>& captures, ExportAction defaultAction) = 0;
    // Prepares what the next present needs, so the first capture is as quick as later ones.
    virtual void prewarm() {}
    // Makes ready again what releaseMemory gave back, while a capture is under way.
    virtual void prepareWindows() {}
    // Gives back what only speeds up the next present (the windows' backing stores).
    virtual void releaseMemory() {}
};
