#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QObject>

#include "Capture/CaptureServicing.h"
#include "Capture/DisplaySource.h"

// The capture service's state and operations. It lives on the service's thread and is only
// ever touched there; each operation finishes by calling its completion exactly once, on that
// thread. Between asking the display source and hearing back, other operations may run.
class ScreenCaptureActor : public QObject {
public:
    template <class T>
    using Done = std::function<void(T)>;
    using ContentResult = std::expected<DisplayContent, CaptureError>;
    using DisplayResult = std::expected<SourceDisplay, CaptureError>;

    explicit ScreenCaptureActor(std::unique_ptr<DisplaySource> source);
    ~ScreenCaptureActor() override;

    void captureAll(QList<ScreenDescriptor> screens,
                    Done<CaptureExpected<QList<DisplayCapture>>> done);
    void capture(ScreenDescriptor screen, Done<CaptureExpected<DisplayCapture>> done);
    void prewarm(std::function<void()> done);
    void invalidateCachedContent();
    void releaseMemory();

    void shareableContent(bool refreshing, Done<ContentResult> done);
    void display(quint32 displayID, Done<DisplayResult> done);
    void warmUpScreenshotPipeline(std::function<void()> done);

private:
    static StillCaptureRequest wholeDisplay(const ScreenDescriptor& screen,
                                            const SourceDisplay& display);
    void findNext(QList<ScreenDescriptor> screens, std::shared_ptr<QList<StillCapture>> found,
                  Done<CaptureExpected<QList<DisplayCapture>>> done);
    void captureFound(const QList<ScreenDescriptor>& screens, const QList<StillCapture>& found,
                      Done<CaptureExpected<QList<DisplayCapture>>> done);
    CaptureError captureFailure(const DisplaySource::Failure& failure);
    // The source may answer on any thread; continue on this one.
    template <class T>
    Done<T> onActor(Done<T> next);

    std::unique_ptr<DisplaySource> m_source;
    std::optional<DisplayContent> m_cachedContent;
    bool m_hasWarmedScreenshotPipeline = false;
};
