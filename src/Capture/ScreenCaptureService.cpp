#include "Capture/ScreenCaptureService.h"

#include <QPromise>

#include "Capture/ScreenCaptureActor.h"

ScreenCaptureService::ScreenCaptureService(std::unique_ptr<DisplaySource> source)
    : m_actor(new ScreenCaptureActor(std::move(source))) {
    m_thread.setObjectName(QStringLiteral("ScreenCaptureService"));
    m_actor->moveToThread(&m_thread);
    // The actor and its source (with its platform connection) end on the thread they used.
    QObject::connect(&m_thread, &QThread::finished, m_actor, &QObject::deleteLater);
    m_thread.start();
}

ScreenCaptureService::~ScreenCaptureService() {
    m_thread.quit();
    m_thread.wait();
}

template <class T>
QFuture<T> ScreenCaptureService::post(
    std::function<void(ScreenCaptureActor&, std::function<void(T)>)> work) {
    // A call that never completes (the service ended first) leaves a cancelled future.
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    QMetaObject::invokeMethod(
        m_actor,
        [actor = m_actor, work = std::move(work), promise] {
            work(*actor, [promise](T value) {
                promise->addResult(std::move(value));
                promise->finish();
            });
        },
        Qt::QueuedConnection);
    return future;
}

QFuture<void> ScreenCaptureService::post(
    std::function<void(ScreenCaptureActor&, std::function<void()>)> work) {
    auto promise = std::make_shared<QPromise<void>>();
    QFuture<void> future = promise->future();
    promise->start();
    QMetaObject::invokeMethod(
        m_actor,
        [actor = m_actor, work = std::move(work), promise] {
            work(*actor, [promise] { promise->finish(); });
        },
        Qt::QueuedConnection);
    return future;
}

QFuture<CaptureExpected<QList<DisplayCapture>>> ScreenCaptureService::captureAll(
    QList<ScreenDescriptor> screens) {
    using R = CaptureExpected<QList<DisplayCapture>>;
    return post<R>([screens](ScreenCaptureActor& a, std::function<void(R)> done) {
        a.captureAll(screens, std::move(done));
    });
}

QFuture<CaptureExpected<DisplayCapture>> ScreenCaptureService::capture(ScreenDescriptor screen) {
    using R = CaptureExpected<DisplayCapture>;
    return post<R>([screen](ScreenCaptureActor& a, std::function<void(R)> done) {
        a.capture(screen, std::move(done));
    });
}

QFuture<void> ScreenCaptureService::prewarm() {
    return post(
        [](ScreenCaptureActor& a, std::function<void()> done) { a.prewarm(std::move(done)); });
}

QFuture<void> ScreenCaptureService::releaseMemory() {
    return post([](ScreenCaptureActor& a, std::function<void()> done) {
        a.releaseMemory();
        done();
    });
}

QFuture<void> ScreenCaptureService::invalidateCachedContent() {
    return post([](ScreenCaptureActor& a, std::function<void()> done) {
        a.invalidateCachedContent();
        done();
    });
}
