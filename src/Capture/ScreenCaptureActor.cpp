#include "Capture/ScreenCaptureActor.h"

#include <QPointer>
#include <QThread>

namespace {

std::optional<SourceDisplay> find(const DisplayContent& content, quint32 displayID) {
    for (const SourceDisplay& d : content.displays)
        if (d.displayID == displayID) return d;
    return std::nullopt;
}

}  // namespace

ScreenCaptureActor::ScreenCaptureActor(std::unique_ptr<DisplaySource> source)
    : m_source(std::move(source)) {
}

ScreenCaptureActor::~ScreenCaptureActor() = default;

template <class T>
ScreenCaptureActor::Done<T> ScreenCaptureActor::onActor(Done<T> next) {
    QPointer<ScreenCaptureActor> self(this);
    return [self, next = std::move(next)](T value) {
        if (!self) return;
        if (QThread::currentThread() == self->thread()) return next(std::move(value));
        QMetaObject::invokeMethod(
            self.data(), [next, value = std::move(value)] { next(value); }, Qt::QueuedConnection);
    };
}

void ScreenCaptureActor::shareableContent(bool refreshing, Done<ContentResult> done) {
    if (!refreshing && m_cachedContent) return done(*m_cachedContent);
    m_source->fetchContent(
        onActor<DisplaySource::ContentOutcome>([this, done](DisplaySource::ContentOutcome content) {
            if (!content) {
                m_cachedContent.reset();
                return done(std::unexpected(CaptureError::from(content.error())));
            }
            m_cachedContent = *content;
            done(*content);
        }));
}

void ScreenCaptureActor::display(quint32 displayID, Done<DisplayResult> done) {
    shareableContent(false, [this, displayID, done](ContentResult content) {
        if (!content) return done(std::unexpected(content.error()));
        if (auto found = find(*content, displayID)) return done(*found);
        // Connected after the list was cached: one fresh list, then give up.
        shareableContent(true, [displayID, done](ContentResult fresh) {
            if (!fresh) return done(std::unexpected(fresh.error()));
            if (auto found = find(*fresh, displayID)) return done(*found);
            done(std::unexpected(CaptureError::displayUnavailable()));
        });
    });
}

CaptureError ScreenCaptureActor::captureFailure(const DisplaySource::Failure& failure) {
    // The display went away after the cached list was taken: the list is stale, and the
    // display cannot be captured any more.
    if (DisplaySource::isDisplayGone(failure)) {
        m_cachedContent.reset();
        return CaptureError::displayUnavailable();
    }
    return CaptureError::from(failure);
}

void ScreenCaptureActor::capture(ScreenDescriptor screen,
                                 Done<CaptureExpected<DisplayCapture>> done) {
    display(screen.displayID, [this, screen, done](DisplayResult display) {
        if (!display) return done(std::unexpected(display.error()));
        const StillCaptureRequest request{QSize(roundHalfAway(screen.scale * display->size.width),
                                                roundHalfAway(screen.scale * display->size.height)),
                                          std::nullopt};
        m_source->captureImage(
            *display, request,
            onActor<DisplaySource::ImageOutcome>(
                [this, screen, done](DisplaySource::ImageOutcome image) {
                    if (!image) return done(std::unexpected(captureFailure(image.error())));
                    done(DisplayCapture{screen, *image});
                }));
    });
}

void ScreenCaptureActor::captureAll(QList<ScreenDescriptor> screens,
                                    Done<CaptureExpected<QList<DisplayCapture>>> done) {
    captureNext(std::move(screens), std::make_shared<QList<DisplayCapture>>(), std::move(done));
}

void ScreenCaptureActor::captureNext(QList<ScreenDescriptor> screens,
                                     std::shared_ptr<QList<DisplayCapture>> taken,
                                     Done<CaptureExpected<QList<DisplayCapture>>> done) {
    // One display at a time, in order; the first failure drops what was taken.
    if (taken->size() == screens.size()) return done(*taken);
    const ScreenDescriptor next = screens[taken->size()];
    capture(next, [this, screens, taken, done](CaptureExpected<DisplayCapture> one) {
        if (!one) return done(std::unexpected(one.error()));
        taken->append(*one);
        captureNext(screens, taken, done);
    });
}

void ScreenCaptureActor::warmUpScreenshotPipeline(std::function<void()> done) {
    if (m_hasWarmedScreenshotPipeline) return done();
    shareableContent(false, [this, done](ContentResult content) {
        if (!content || content->displays.isEmpty()) return done();
        const StillCaptureRequest onePixel{QSize(1, 1), Rect(0, 0, 1, 1)};
        m_source->captureImage(content->displays.first(), onePixel,
                               onActor<DisplaySource::ImageOutcome>([this, done](auto) {
                                   m_hasWarmedScreenshotPipeline = true;
                                   done();
                               }));
    });
}

void ScreenCaptureActor::prewarm(std::function<void()> done) {
    shareableContent(false, [this, done](ContentResult) { warmUpScreenshotPipeline(done); });
}

void ScreenCaptureActor::invalidateCachedContent() {
    m_cachedContent.reset();
}
