#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>

#include "Capture/DisplaySource.h"
#include "Platform/ImageBufferPool.h"

struct xcb_connection_t;
class XcbShmSegment;

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

    bool usesSharedMemory() const { return m_segment != nullptr; }

private:
    struct Disconnect {
        void operator()(xcb_connection_t* c) const;
    };

    std::expected<xcb_connection_t*, Failure> connection();
    std::expected<QRect, Failure> liveArea(xcb_connection_t* c, quint32 displayID);
    std::expected<QImage, Failure> grab(xcb_connection_t* c, const QRect& area);
    std::expected<QImage, Failure> grabShared(xcb_connection_t* c, const QRect& area);
    // ShmGetImage of the area into the start of the segment.
    std::optional<Failure> grabInto(xcb_connection_t* c, const QRect& area);
    std::expected<QImage, Failure> grabPlain(xcb_connection_t* c, const QRect& area);
    std::expected<QImage, Failure> copyFrame(const unsigned char* pixels, QSize size);
    void prepare(xcb_connection_t* c, const QList<QRect>& areas);
    bool ensureSegment(xcb_connection_t* c, std::size_t bytes);

    ScaleLookup m_scales;
    QByteArray m_displayName;
    std::unique_ptr<xcb_connection_t, Disconnect> m_connection;
    quint32 m_root = 0;
    std::unique_ptr<XcbShmSegment> m_segment;  // declared after the connection: detached first
    bool m_shmRefused = false;
    ImageBufferPool m_pool;
};
