#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QObject>

#include "Capture/DisplaySource.h"
#include "Platform/ImageBufferPool.h"

struct xcb_connection_t;
class X11RootReader;

// The displays of an X server: its RandR monitors, captured from the root window through
// MIT-SHM (plain GetImage when the server cannot share memory, as over a remote connection).
// It opens its own connection on first use, on the thread that uses it, and answers at once.
// X never draws the pointer into the root's pixels, so no capture contains it.
class X11DisplaySource : public DisplaySource {
public:
    // Pixels per point of the screen of that monitor name; callable from any thread.
    using ScaleLookup = std::function<std::optional<double>(const QString& monitorName)>;

    explicit X11DisplaySource(ScaleLookup scales, QByteArray displayName = {});
    ~X11DisplaySource() override;

    void fetchContent(std::function<void(ContentOutcome)> completion) override;
    void captureImage(const SourceDisplay& display, const StillCaptureRequest& request,
                      std::function<void(ImageOutcome)> completion) override;
    void captureImages(QList<StillCapture> captures,
                       std::function<void(ImagesOutcome)> completion) override;
    void releaseMemory() override;

private:
    struct Disconnect {
        void operator()(xcb_connection_t* c) const;
    };

    std::expected<xcb_connection_t*, Failure> connection();
    std::expected<QRect, Failure> liveArea(xcb_connection_t* c, quint32 displayID);
    std::expected<QImage, Failure> grab(const QRect& area);
    void prepare(const QList<QRect>& areas);
    void remakeSegmentLater();

    ScaleLookup m_scales;
    QByteArray m_displayName;
    std::unique_ptr<xcb_connection_t, Disconnect> m_connection;
    quint32 m_root = 0;
    static constexpr int remakeDelayMs = 2000;
    QRect m_largestRead;  // what the transfer segment is faulted in with when it is made again
    std::unique_ptr<QObject> m_timers;  // on the capture thread; its timers end with the source
    std::unique_ptr<X11RootReader> m_reader;  // declared after the connection: ends first
    ImageBufferPool m_pool;
};
