#pragma once

#include <functional>
#include <memory>

#include <QThread>

#include "Capture/CaptureServicing.h"
#include "Capture/DisplaySource.h"

class ScreenCaptureActor;

// Still captures of whole displays. Every call returns a future at once; the work runs one call
// at a time on the service's own thread, where the display list is cached and the display
// source lives (its platform connection is opened there). A call waiting on the source lets
// other calls run meanwhile, so the source's results always come back through the cache.
class ScreenCaptureService : public CaptureServicing {
public:
    explicit ScreenCaptureService(std::unique_ptr<DisplaySource> source);
    ~ScreenCaptureService() override;

    QFuture<CaptureExpected<QList<DisplayCapture>>> captureAll(
        QList<ScreenDescriptor> screens) override;
    QFuture<CaptureExpected<DisplayCapture>> capture(ScreenDescriptor screen) override;
    QFuture<void> prewarm() override;
    QFuture<void> releaseMemory() override;
    QFuture<void> invalidateCachedContent() override;

private:
    template <class T>
    QFuture<T> post(std::function<void(ScreenCaptureActor&, std::function<void(T)>)> work);
    QFuture<void> post(std::function<void(ScreenCaptureActor&, std::function<void()>)> work);

    QThread m_thread;
    ScreenCaptureActor* m_actor = nullptr;  // lives on m_thread, deleted there when it ends
};
