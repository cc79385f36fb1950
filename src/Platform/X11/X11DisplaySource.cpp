#include "Platform/X11/X11DisplaySource.h"

#include <QTimer>

#include <cstring>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include "Platform/X11/RandrMonitors.h"
#include "Platform/X11/X11RootReader.h"
#include "Platform/X11/XcbHandles.h"
#include "Platform/X11/XcbText.h"

namespace {

using Failure = DisplaySource::Failure;

using XcbText::failure;
using XcbText::lostConnection;

// The root's pixel layout, when we can convert it.
std::expected<RootPixelFormat, Failure> rootFormat(xcb_connection_t* c,
                                                   const xcb_screen_t& screen) {
    if (auto format = RootPixelFormat::make(RootPixelFormat::of(c, screen))) return *format;
    return std::unexpected(
        failure(QStringLiteral("format de pixels de l'écran non pris en charge (profondeur %1)")
                    .arg(screen.root_depth)));
}

// The whole of `area`, or the part a source rectangle in points selects, on the root.
QRect requestedArea(const SourceDisplay& display, const QRect& area,
                    const std::optional<Rect>& sourceRect) {
    if (!sourceRect || display.size.width <= 0 || display.size.height <= 0) return area;
    const double sx = area.width() / display.size.width;
    const double sy = area.height() / display.size.height;
    QRect part(area.x() + roundHalfAway(sourceRect->minX() * sx),
               area.y() + roundHalfAway(sourceRect->minY() * sy),
               std::max(1, roundHalfAway(sourceRect->width() * sx)),
               std::max(1, roundHalfAway(sourceRect->height() * sy)));
    part = part.intersected(area);
    return part.isEmpty() ? QRect(area.topLeft(), QSize(1, 1)) : part;
}

}  // namespace

void X11DisplaySource::Disconnect::operator()(xcb_connection_t* c) const {
    xcb_disconnect(c);
}

X11DisplaySource::X11DisplaySource(ScaleLookup scales, QByteArray displayName)
    : m_scales(std::move(scales)), m_displayName(std::move(displayName)) {
}

X11DisplaySource::~X11DisplaySource() {
    m_reader.reset();  // needs the connection to detach its segment
}

std::expected<xcb_connection_t*, Failure> X11DisplaySource::connection() {
    if (m_connection && xcb_connection_has_error(m_connection.get())) {
        // The server went away; try afresh next time.
        m_reader.reset();
        m_connection.reset();
        return std::unexpected(lostConnection());
    }
    if (m_connection) return m_connection.get();
    int screenNumber = 0;
    std::unique_ptr<xcb_connection_t, Disconnect> c(
        xcb_connect(m_displayName.isEmpty() ? nullptr : m_displayName.constData(), &screenNumber));
    if (xcb_connection_has_error(c.get()))
        return std::unexpected(failure(QStringLiteral("impossible de se connecter au serveur X")));
    auto it = xcb_setup_roots_iterator(xcb_get_setup(c.get()));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) return std::unexpected(failure(QStringLiteral("écran X introuvable")));
    auto format = rootFormat(c.get(), *it.data);
    if (!format) return std::unexpected(format.error());
    m_root = it.data->root;
    m_connection = std::move(c);
    m_reader = std::make_unique<X11RootReader>(m_connection.get(), m_root, std::move(*format));
    return m_connection.get();
}

void X11DisplaySource::fetchContent(std::function<void(ContentOutcome)> completion) {
    auto c = connection();
    if (!c) return completion(std::unexpected(c.error()));
    const auto monitors = RandrMonitors::list(*c);
    if (!monitors) {
        if (xcb_connection_has_error(*c)) return completion(std::unexpected(lostConnection()));
        return completion(std::unexpected(failure(
            QStringLiteral("le serveur X ne fournit pas la liste des écrans (RandR 1.5)"))));
    }
    DisplayContent content;
    QList<QRect> areas;
    for (const RandrMonitor& m : *monitors) {
        const double scale = m_scales ? m_scales(m.name).value_or(1.0) : 1.0;
        const double s = scale > 0 ? scale : 1.0;
        content.displays.append(
            {m.id, Size{m.pixels.width() / s, m.pixels.height() / s}, m.pixels});
        areas.append(m.pixels);
    }
    prepare(areas);
    completion(content);
}

void X11DisplaySource::prepare(const QList<QRect>& areas) {
    // One frame per display, and the transfer segment, faulted in now rather than during the
    // first capture.
    QList<QSize> sizes;
    for (const QRect& a : areas) sizes.append(a.size());
    m_pool.prepare(sizes);
    if (!areas.isEmpty()) m_reader->prepare(areas.first());
}

void X11DisplaySource::releaseMemory() {
    m_timers.reset();  // a segment still to be made again would take the memory back
    m_pool.release();
    if (m_reader) m_reader->release();
}

std::expected<QRect, Failure> X11DisplaySource::liveArea(xcb_connection_t* c, quint32 displayID) {
    XcbReply<xcb_generic_error_t> error;
    xcb_generic_error_t* raw = nullptr;
    XcbReply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, m_root, 1), &raw));
    error.reset(raw);
    if (error) return std::unexpected(XcbText::refused("RRGetMonitors", *error));
    if (!reply) return std::unexpected(lostConnection());
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
         xcb_randr_monitor_info_next(&it))
        if (it.data->name == displayID)
            return QRect(it.data->x, it.data->y, it.data->width, it.data->height);
    return std::unexpected(Failure{QString::fromLatin1(sourceDomain), displayGoneCode,
                                   QStringLiteral("l'écran a été retiré")});
}

void X11DisplaySource::captureImage(const SourceDisplay& display,
                                    const StillCaptureRequest& request,
                                    std::function<void(ImageOutcome)> completion) {
    auto c = connection();
    if (!c) return completion(std::unexpected(c.error()));
    // The listed area may be stale: read where the monitor is now, or learn that it is gone.
    const auto area = liveArea(*c, display.displayID);
    if (!area) return completion(std::unexpected(area.error()));
    // Moved or resized since it was listed: the list and the requested size no longer hold.
    if (!display.area.isEmpty() && *area != display.area)
        return completion(
            std::unexpected(Failure{QString::fromLatin1(sourceDomain), displayGoneCode,
                                    QStringLiteral("l'écran a changé")}));
    const QRect source = requestedArea(display, *area, request.sourceRect);
    auto image = grab(source);
    if (!image) return completion(image);
    if (request.pixelSize.isValid() && image->size() != request.pixelSize)
        *image = image->scaled(request.pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    completion(std::move(*image));
    if (!m_reader->usesSharedMemory()) remakeSegmentLater();
}

void X11DisplaySource::captureImages(QList<StillCapture> captures,
                                     std::function<void(ImagesOutcome)> completion) {
    // After an idle release every frame is fresh memory, and faulting it in is most of the
    // capture: another thread takes part while the displays are read.
    QList<QSize> sizes;
    for (const StillCapture& c : captures)
        if (!c.request.sourceRect && c.request.pixelSize == c.display.area.size())
            sizes.append(c.display.area.size());
    // The overlays get the frames once the other thread is done: it would compete with them.
    DisplaySource::captureImages(std::move(captures),
                                 [faulted = m_pool.reserve(sizes),
                                  completion = std::move(completion)](ImagesOutcome images) {
                                     if (faulted.valid()) faulted.wait();
                                     completion(std::move(images));
                                 });
}

void X11DisplaySource::remakeSegmentLater() {
    // After an idle release the first capture went without the transfer segment, which both
    // this process and the X server must fault in. Made at once, it would hold the server up
    // while it shows the overlays; a moment later, it is ready for the next capture.
    if (!m_timers) m_timers = std::make_unique<QObject>();
    QTimer::singleShot(remakeDelayMs, m_timers.get(), [this] {
        if (m_reader) m_reader->prepare(m_largestRead);
    });
}

std::expected<QImage, Failure> X11DisplaySource::grab(const QRect& area) {
    if (qint64(area.width()) * area.height() >
        qint64(m_largestRead.width()) * m_largestRead.height())
        m_largestRead = area;
    std::optional<Failure> failed;
    QImage frame = m_pool.fill(area.size(), [&](uchar* bits, qsizetype stride) {
        failed = m_reader->read(area, bits, stride);
    });
    if (failed) return std::unexpected(*failed);
    if (frame.isNull())
        return std::unexpected(
            failure(QStringLiteral("mémoire insuffisante pour l'image de l'écran")));
    return frame;
}
