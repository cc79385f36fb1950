#pragma once

#include <expected>
#include <functional>
#include <optional>

#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>

#include "Base/Geometry.h"
#include "Capture/CaptureError.h"

// One display as the platform's capture service lists it.
struct SourceDisplay {
    quint32 displayID = 0;  // the same id as ScreenDescriptor::displayID
    Size size;              // in points; fractional when the scale is
    QRect area;             // where the platform reads it (X11: its pixels on the root window)
    bool operator==(const SourceDisplay&) const = default;
};

// The capturable displays at one moment.
struct DisplayContent {
    QList<SourceDisplay> displays;
};

// What to capture of one display. The pointer is never part of a capture.
struct StillCaptureRequest {
    QSize pixelSize;                 // the image's size in pixels
    std::optional<Rect> sourceRect;  // points from the display's top-left; whole display if absent
};

// One display of a capture taken as one moment.
struct StillCapture {
    SourceDisplay display;
    StillCaptureRequest request;
};

// The platform's screen capture service. Both operations deliver their outcome exactly once
// through the completion, possibly later and on any thread; the caller hops back to its own
// thread. Refusals carry CaptureError::permissionDomain so that CaptureError::from recognises
// them; every other failure has a readable French description.
class DisplaySource {
public:
    using Failure = CaptureError::SystemError;
    using ContentOutcome = std::expected<DisplayContent, Failure>;
    using ImageOutcome = std::expected<QImage, Failure>;
    using ImagesOutcome = std::expected<QList<QImage>, Failure>;

    // The failure of a capture whose display has gone since it was listed.
    static constexpr const char* sourceDomain = "DisplaySource";
    static constexpr int displayGoneCode = 1;
    static bool isDisplayGone(const Failure& f) {
        return f.domain == QLatin1String(sourceDomain) && f.code == displayGoneCode;
    }

    virtual ~DisplaySource() = default;
    virtual void fetchContent(std::function<void(ContentOutcome)> completion) = 0;
    virtual void captureImage(const SourceDisplay& display, const StillCaptureRequest& request,
                              std::function<void(ImageOutcome)> completion) = 0;
    // Several displays at one moment, images in the order asked; the first failure fails the
    // whole. The default captures them one after another; a source that can only take the
    // whole desktop at once (a portal) takes it once.
    virtual void captureImages(QList<StillCapture> captures,
                               std::function<void(ImagesOutcome)> completion);
    // Primes the capture path once per process, whatever the outcome. The default captures one
    // pixel of the display and discards it.
    virtual void warmUp(const SourceDisplay& display, std::function<void()> done);
    // Gives back what only speeds up the next capture (kept frames, transfer buffers).
    virtual void releaseMemory() {}
};
