#include "Platform/X11DisplaySource.h"

#include <cstring>

#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include "Platform/RandrMonitors.h"
#include "Platform/XcbHandles.h"
#include "Platform/XcbShmSegment.h"

namespace {

using Failure = DisplaySource::Failure;

constexpr const char* xDomain = "X11";

Failure failure(const QString& text, int code = 0) {
    return {QString::fromLatin1(xDomain), code, text};
}

QString errorName(std::uint8_t code) {
    static const char* const names[] = {
        "",          "BadRequest", "BadValue",    "BadWindow",   "BadPixmap", "BadAtom",
        "BadCursor", "BadFont",    "BadMatch",    "BadDrawable", "BadAccess", "BadAlloc",
        "BadColor",  "BadGC",      "BadIDChoice", "BadName",     "BadLength", "BadImplementation"};
    if (code < std::size(names)) return QString::fromLatin1(names[code]);
    return QStringLiteral("erreur %1").arg(code);
}

Failure xError(const char* request, const xcb_generic_error_t& e) {
    return failure(QStringLiteral("le serveur X a refusé la requête %1 (%2)")
                       .arg(QLatin1String(request), errorName(e.error_code)),
                   e.error_code);
}

Failure lostConnection() {
    return failure(QStringLiteral("la connexion au serveur X a été interrompue"));
}

// Root pixels we can copy as they are: 32 bits per pixel, 8 bits per channel, little-endian.
std::optional<Failure> unsupportedFormat(xcb_connection_t* c, const xcb_screen_t& screen) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    int bpp = 0;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
        if (it.data->depth == screen.root_depth) bpp = it.data->bits_per_pixel;
    bool rgb888 = false;
    for (auto d = xcb_screen_allowed_depths_iterator(&screen); d.rem; xcb_depth_next(&d))
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
            if (v.data->visual_id == screen.root_visual)
                rgb888 = v.data->red_mask == 0xff0000 && v.data->green_mask == 0xff00 &&
                         v.data->blue_mask == 0xff;
    if (bpp == 32 && rgb888 && setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST &&
        (screen.root_depth == 24 || screen.root_depth == 32))
        return std::nullopt;
    return failure(QStringLiteral("format de pixels de l'écran non pris en charge (profondeur %1)")
                       .arg(screen.root_depth));
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

std::size_t bytesOf(const QRect& area) {
    return std::size_t(area.width()) * std::size_t(area.height()) * 4;
}

}  // namespace

void X11DisplaySource::Disconnect::operator()(xcb_connection_t* c) const {
    xcb_disconnect(c);
}

X11DisplaySource::X11DisplaySource(ScaleLookup scales, QByteArray displayName)
    : m_scales(std::move(scales)), m_displayName(std::move(displayName)) {
}

X11DisplaySource::~X11DisplaySource() {
    m_segment.reset();  // needs the connection to detach
}

std::expected<xcb_connection_t*, Failure> X11DisplaySource::connection() {
    if (m_connection && xcb_connection_has_error(m_connection.get())) {
        // The server went away; try afresh next time.
        m_segment.reset();
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
    if (auto bad = unsupportedFormat(c.get(), *it.data)) return std::unexpected(*bad);
    m_root = it.data->root;
    m_connection = std::move(c);
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
    prepare(*c, areas);
    completion(content);
}

void X11DisplaySource::prepare(xcb_connection_t* c, const QList<QRect>& areas) {
    // Memory for the largest display and one frame per display, faulted in now rather than
    // during the first capture.
    QRect largest;
    QList<QSize> sizes;
    for (const QRect& a : areas) {
        if (qint64(a.width()) * a.height() > qint64(largest.width()) * largest.height())
            largest = a;
        sizes.append(a.size());
    }
    const bool newSegment = !m_segment || m_segment->size() < bytesOf(largest);
    if (!largest.isEmpty() && newSegment && ensureSegment(c, bytesOf(largest))) {
        // The server maps the segment separately and faults its pages in on its first write:
        // let that write happen now. What it reads is thrown away.
        (void)grabInto(c, largest);
    }
    m_pool.prepare(sizes);
}

bool X11DisplaySource::ensureSegment(xcb_connection_t* c, std::size_t bytes) {
    if (m_segment && m_segment->size() >= bytes) return true;
    if (m_shmRefused) return false;
    m_segment.reset();
    m_segment = XcbShmSegment::create(c, bytes);
    // A server that cannot share memory with us will not start to; stop asking.
    if (!m_segment && !xcb_connection_has_error(c)) m_shmRefused = true;
    return m_segment != nullptr;
}

std::expected<QRect, Failure> X11DisplaySource::liveArea(xcb_connection_t* c, quint32 displayID) {
    XcbReply<xcb_generic_error_t> error;
    xcb_generic_error_t* raw = nullptr;
    XcbReply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, m_root, 1), &raw));
    error.reset(raw);
    if (error) return std::unexpected(xError("RRGetMonitors", *error));
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
    auto image = grab(*c, source);
    if (!image) return completion(image);
    if (request.pixelSize.isValid() && image->size() != request.pixelSize)
        *image = image->scaled(request.pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    completion(std::move(*image));
}

std::expected<QImage, Failure> X11DisplaySource::grab(xcb_connection_t* c, const QRect& area) {
    if (ensureSegment(c, bytesOf(area))) return grabShared(c, area);
    return grabPlain(c, area);
}

std::expected<QImage, Failure> X11DisplaySource::grabShared(xcb_connection_t* c,
                                                            const QRect& area) {
    if (auto failed = grabInto(c, area)) return std::unexpected(*failed);
    return copyFrame(m_segment->data(), area.size());
}

std::optional<Failure> X11DisplaySource::grabInto(xcb_connection_t* c, const QRect& area) {
    xcb_generic_error_t* raw = nullptr;
    XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        c,
        xcb_shm_get_image(c, m_root, area.x(), area.y(), area.width(), area.height(), ~0u,
                          XCB_IMAGE_FORMAT_Z_PIXMAP, m_segment->id(), 0),
        &raw));
    XcbReply<xcb_generic_error_t> error(raw);
    if (error) return xError("ShmGetImage", *error);
    if (!reply) return lostConnection();
    return std::nullopt;
}

std::expected<QImage, Failure> X11DisplaySource::grabPlain(xcb_connection_t* c, const QRect& area) {
    xcb_generic_error_t* raw = nullptr;
    XcbReply<xcb_get_image_reply_t> reply(
        xcb_get_image_reply(c,
                            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, area.x(), area.y(),
                                          area.width(), area.height(), ~0u),
                            &raw));
    XcbReply<xcb_generic_error_t> error(raw);
    if (error) return std::unexpected(xError("GetImage", *error));
    if (!reply) return std::unexpected(lostConnection());
    if (std::size_t(xcb_get_image_data_length(reply.get())) < bytesOf(area))
        return std::unexpected(failure(QStringLiteral("image incomplète reçue du serveur X")));
    return copyFrame(xcb_get_image_data(reply.get()), area.size());
}

std::expected<QImage, Failure> X11DisplaySource::copyFrame(const unsigned char* pixels,
                                                           QSize size) {
    // The server leaves the fourth byte undefined; RGB32 wants it opaque.
    QImage frame = m_pool.fill(size, [&](uchar* bits, qsizetype stride) {
        const int width = size.width();
        for (int y = 0; y < size.height(); ++y) {
            const auto* src = reinterpret_cast<const quint32*>(pixels + std::size_t(y) * width * 4);
            auto* dst = reinterpret_cast<quint32*>(bits + std::size_t(y) * stride);
            for (int x = 0; x < width; ++x) dst[x] = src[x] | 0xff000000u;
        }
    });
    if (frame.isNull())
        return std::unexpected(
            failure(QStringLiteral("mémoire insuffisante pour l'image de l'écran")));
    return frame;
}
