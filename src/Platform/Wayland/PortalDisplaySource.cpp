#include "Platform/Wayland/PortalDisplaySource.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMutex>
#include <mutex>

#include "Platform/Wayland/PortalErrors.h"
#include "Platform/Wayland/PortalImage.h"
#include "Platform/Wayland/WaylandOutputs.h"

Q_LOGGING_CATEGORY(portalTiming, "tessik.capture.timing", QtWarningMsg)

// The buffers kept between captures, for one capture at a time.
struct PortalDisplaySource::Kept {
    QMutex mutex;
    PortalImage::Buffers buffers;
};

namespace {

DisplaySource::Failure displayGone(const QString& why) {
    return {QString::fromLatin1(DisplaySource::sourceDomain), DisplaySource::displayGoneCode, why};
}

}  // namespace

PortalDisplaySource::PortalDisplaySource(std::shared_ptr<WaylandOutputs> outputs,
                                         Screenshot screenshot, QStringList temporaryPlaces)
    : m_outputs(std::move(outputs)),
      m_screenshot(std::move(screenshot)),
      m_temporaryPlaces(std::move(temporaryPlaces)),
      m_kept(std::make_shared<Kept>()) {
    if (!m_screenshot)
        m_screenshot = [](std::function<void(PortalRequest::Outcome)> done) {
            PortalRequest::screenshot(QDBusConnection::sessionBus(), std::move(done));
        };
    if (m_temporaryPlaces.isEmpty())
        m_temporaryPlaces = PortalImage::temporaryPlaces(QProcessEnvironment::systemEnvironment());
}

void PortalDisplaySource::fetchContent(std::function<void(ContentOutcome)> completion) {
    DisplayContent content;
    for (const WaylandOutput& o : m_outputs->snapshot())
        content.displays.append(
            {o.id, Size{double(o.geometry.width()), double(o.geometry.height())}, o.geometry});
    completion(content);
}

void PortalDisplaySource::captureImage(const SourceDisplay& display,
                                       const StillCaptureRequest& request,
                                       std::function<void(ImageOutcome)> completion) {
    captureImages({{display, request}}, [completion](ImagesOutcome images) {
        if (!images) return completion(std::unexpected(images.error()));
        completion(images->value(0));
    });
}

void PortalDisplaySource::captureImages(QList<StillCapture> captures,
                                        std::function<void(ImagesOutcome)> completion) {
    QElapsedTimer clock;
    clock.start();
    auto outputs = m_outputs;
    auto places = m_temporaryPlaces;
    auto kept = m_kept;
    m_screenshot([=](PortalRequest::Outcome results) mutable {
        const qint64 waited = clock.restart();
        if (!results) return completion(std::unexpected(results.error()));
        // Two captures under way at once: the later one decodes into new memory.
        std::unique_lock<QMutex> lock(kept->mutex, std::try_to_lock);
        PortalImage::Buffers* buffers = lock.owns_lock() ? &kept->buffers : nullptr;
        // Read even when the layout changed meanwhile, so the file never stays behind.
        const auto desktop = PortalImage::read(*results, places, buffers);
        const qint64 read = clock.restart();
        if (!desktop) return completion(std::unexpected(desktop.error()));
        QList<QRect> layout;
        for (const WaylandOutput& o : outputs->snapshot()) layout.append(o.geometry);
        QList<QImage> images;
        for (const StillCapture& c : captures) {
            // The display must still be where it was listed.
            if (!layout.contains(c.display.area))
                return completion(std::unexpected(displayGone(QStringLiteral("l'écran a changé"))));
            auto image = PortalImage::crop(*desktop, PortalImage::layoutOf(layout), c.display.area,
                                           c.request.pixelSize, buffers);
            if (!image) return completion(std::unexpected(image.error()));
            images.append(std::move(*image));
        }
        qCDebug(portalTiming, "portal wait %lld ms, image read %lld ms, crop %lld ms", waited, read,
                clock.elapsed());
        completion(images);
    });
}

void PortalDisplaySource::releaseMemory() {
    QMutexLocker lock(&m_kept->mutex);
    m_kept->buffers.release();
}

void PortalDisplaySource::warmUp(const SourceDisplay&, std::function<void()> done) {
    // Connecting to the session bus is the one cost worth paying ahead of the first capture.
    QDBusConnection::sessionBus();
    done();
}
