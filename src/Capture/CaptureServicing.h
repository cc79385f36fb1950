#pragma once

#include <expected>

#include <QFuture>
#include <QList>

#include "Capture/CaptureError.h"
#include "Capture/ScreenDescriptor.h"

template <class T>
using CaptureExpected = std::expected<T, CaptureError>;

// What the application asks of the screen capture service. Every call returns at once; the work
// runs one call at a time on the service's own thread and the future finishes there.
class CaptureServicing {
public:
    virtual ~CaptureServicing() = default;
    // Same order and length as `screens`; the first failure fails the whole.
    virtual QFuture<CaptureExpected<QList<DisplayCapture>>> captureAll(
        QList<ScreenDescriptor> screens) = 0;
    virtual QFuture<CaptureExpected<DisplayCapture>> capture(ScreenDescriptor screen) = 0;
    // Fetches the display list (cache allowed, failures ignored), then warms the capture path
    // once per process.
    virtual QFuture<void> prewarm() = 0;
    virtual QFuture<void> invalidateCachedContent() = 0;
    // Gives back the memory kept for the next capture; the capture after it is slower.
    virtual QFuture<void> releaseMemory() { return QtFuture::makeReadyFuture(); }
};
