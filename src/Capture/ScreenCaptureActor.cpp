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

StillCaptureRequest ScreenCaptureActor::wholeDisplay(const ScreenDescriptor& screen,
                                                     const SourceDisplay& display) {
    return {QSize(roundHalfAway(screen.scale * display.size.width),
                  roundHalfAway(screen.scale * display.size.height)),
            std::nullopt};
}

void ScreenCaptureActor::capture(ScreenDescriptor screen,
                                 Done<CaptureExpected<DisplayCapture>> done) {
    display(screen.displayID, [this, screen, done](DisplayResult display) {
        if (!display) return done(std::unexpected(display.error()));
        m_source->captureImage(
            *display, wholeDisplay(screen, *display),
            onActor<DisplaySource::ImageOutcome>(
                [this, screen, done](DisplaySource::ImageOutcome image) {
                    if (!image) return done(std::unexpected(captureFailure(image.error())));
                    done(DisplayCapture{screen, *image});
                }));
    });
}

void ScreenCaptureActor::captureAll(QList<ScreenDescriptor> screens,
                                    Done<CaptureExpected<QList<DisplayCapture>>> done) {
    findNext(std::move(screens), std::make_shared<QList<StillCapture>>(), std::move(done));
}

void ScreenCaptureActor::findNext(QList<ScreenDescriptor> screens,
                                  std::shared_ptr<QList<StillCapture>> found,
                                  Done<CaptureExpected<QList<DisplayCapture>>> done) {
    // Every display is found first, then all are captured as one moment, in order; the first
    // failure drops what was taken.
    if (found->size() == screens.size()) return captureFound(screens, *found, done);
    const ScreenDescriptor next = screens[found->size()];
    display(next.displayID, [this, screens, next, found, done](DisplayResult display) {
        if (!display) return done(std::unexpected(display.error()));
        found->append({*display, wholeDisplay(next, *display)});
        findNext(screens, found, done);
    });
}

void ScreenCaptureActor::captureFound(const QList<ScreenDescriptor>& screens,
                                      const QList<StillCapture>& found,
                                      Done<CaptureExpected<QList<DisplayCapture>>> done) {
    if (screens.isEmpty()) return done(QList<DisplayCapture>{});
    m_source->captureImages(
        found, onActor<DisplaySource::ImagesOutcome>(
                   [this, screens, done](DisplaySource::ImagesOutcome images) {
                       if (!images) return done(std::unexpected(captureFailure(images.error())));
                       QList<DisplayCapture> captures;
                       for (qsizetype i = 0; i < screens.size() && i < images->size(); ++i)
                           captures.append({screens[i], (*images)[i]});
                       done(captures);
                   }));
}

void ScreenCaptureActor::warmUpScreenshotPipeline(std::function<void()> done) {
    if (m_hasWarmedScreenshotPipeline) return done();
    shareableContent(false, [this, done](ContentResult content) {
        if (!content || content->displays.isEmpty()) return done();
        QPointer<ScreenCaptureActor> self(this);
        m_source->warmUp(content->displays.first(), [self, done] {
            // The source may answer on any thread.
            if (!self) return;
            QMetaObject::invokeMethod(
                self.data(),
                [self, done] {
                    if (self) self->m_hasWarmedScreenshotPipeline = true;
                    done();
                },
                QThread::currentThread() == self->thread() ? Qt::DirectConnection
                                                           : Qt::QueuedConnection);
        });
    });
}

void ScreenCaptureActor::prewarm(std::function<void()> done) {
    shareableContent(false, [this, done](ContentResult) { warmUpScreenshotPipeline(done); });
}

void ScreenCaptureActor::releaseMemory() {
    m_source->releaseMemory();
}

void ScreenCaptureActor::invalidateCachedContent() {
    m_cachedContent.reset();
}
