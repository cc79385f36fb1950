#include "Platform/X11/X11RootReader.h"

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include "Platform/X11/XcbHandles.h"
#include "Platform/X11/XcbShmSegment.h"
#include "Platform/X11/XcbText.h"

namespace {

// Each half of the segment. Smaller halves fault in faster on first use, but every band is a
// round trip, and on a loaded machine each costs a trip through the scheduler: measured, 2 MiB
// halves were about twice as slow warm as 8 MiB ones (4 bands for a 3840x2160 display).
constexpr std::size_t halfBytes = 8u << 20;
// Plain replies are fresh memory until the allocator has one of their size to reuse: small
// ones fault in little.
constexpr std::size_t plainBandBytes = 1u << 20;

int rowsPerBand(const RootPixelFormat& format, const QRect& area,
                std::size_t bandBytes = halfBytes) {
    return std::max<int>(1, int(bandBytes / std::size_t(format.rowBytes(area.width()))));
}

QRect band(const QRect& area, int rows, int index) {
    const int top = index * rows;
    return QRect(area.x(), area.y() + top, area.width(), std::min(rows, area.height() - top));
}

void copyRows(const RootPixelFormat& format, const uchar* from, const QRect& rows,
              const QRect& area, uchar* bits, qsizetype stride) {
    const qsizetype rowBytes = format.rowBytes(rows.width());
    for (int y = 0; y < rows.height(); ++y)
        format.convertRow(from + y * rowBytes,
                          reinterpret_cast<quint32*>(bits + (rows.y() - area.y() + y) * stride),
                          rows.width());
}

// Asks for band i + 1 before taking band i, so the server works while we copy.
template <class Send, class Take>
std::optional<DisplaySource::Failure> inBands(xcb_connection_t* c, const RootPixelFormat& format,
                                              const QRect& area, Send send, Take take,
                                              std::size_t bandBytes = halfBytes) {
    const int rows = rowsPerBand(format, area, bandBytes);
    const int count = (area.height() + rows - 1) / rows;
    unsigned int next = send(0, band(area, rows, 0));
    for (int i = 0; i < count; ++i) {
        const unsigned int current = next;
        if (i + 1 < count) next = send(i + 1, band(area, rows, i + 1));
        xcb_flush(c);
        if (auto failed = take(i, current, band(area, rows, i))) {
            if (i + 1 < count) xcb_discard_reply(c, next);
            return failed;
        }
    }
    return std::nullopt;
}

}  // namespace

X11RootReader::X11RootReader(xcb_connection_t* connection, quint32 root, RootPixelFormat format)
    : m_connection(connection), m_root(root), m_format(std::move(format)) {
}

X11RootReader::~X11RootReader() = default;

bool X11RootReader::ensureSegment() {
    if (m_segment) return true;
    if (m_shmRefused) return false;
    m_segment = XcbShmSegment::create(m_connection, 2 * halfBytes);
    // A server that cannot share memory with us will not start to; stop asking.
    if (!m_segment && !xcb_connection_has_error(m_connection)) m_shmRefused = true;
    return m_segment != nullptr;
}

void X11RootReader::release() {
    m_segment.reset();
}

void X11RootReader::prepare(const QRect& sample) {
    if (m_segment || sample.isEmpty() || !ensureSegment()) return;
    // The server maps the segment on its own side and faults those pages in on its first
    // write: two bands fill both halves. What they read is dropped.
    const QRect twoBands = sample.intersected(
        QRect(sample.topLeft(), QSize(sample.width(), 2 * rowsPerBand(m_format, sample))));
    (void)inBands(
        m_connection, m_format, twoBands,
        [&](int i, const QRect& r) {
            return xcb_shm_get_image(m_connection, m_root, r.x(), r.y(), r.width(), r.height(), ~0u,
                                     XCB_IMAGE_FORMAT_Z_PIXMAP, m_segment->id(),
                                     (i % 2) * halfBytes)
                .sequence;
        },
        [&](int, unsigned int sequence, const QRect&) -> std::optional<Failure> {
            free(xcb_shm_get_image_reply(m_connection, {sequence}, nullptr));
            return std::nullopt;
        });
}

std::optional<X11RootReader::Failure> X11RootReader::read(const QRect& area, uchar* bits,
                                                          qsizetype stride) {
    // Without a segment (a quiet spell gave it back) the read does not wait for one to be made
    // and faulted in on both sides: prepare() makes it afterwards.
    if (std::size_t(m_format.rowBytes(area.width())) <= halfBytes && m_segment)
        return readShared(area, bits, stride);
    return readPlain(area, bits, stride);
}

std::optional<X11RootReader::Failure> X11RootReader::readShared(const QRect& area, uchar* bits,
                                                                qsizetype stride) {
    xcb_connection_t* c = m_connection;
    return inBands(
        c, m_format, area,
        [&](int i, const QRect& r) {
            return xcb_shm_get_image(c, m_root, r.x(), r.y(), r.width(), r.height(), ~0u,
                                     XCB_IMAGE_FORMAT_Z_PIXMAP, m_segment->id(),
                                     (i % 2) * halfBytes)
                .sequence;
        },
        [&](int i, unsigned int sequence, const QRect& r) -> std::optional<Failure> {
            xcb_generic_error_t* raw = nullptr;
            XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(c, {sequence}, &raw));
            XcbReply<xcb_generic_error_t> error(raw);
            if (error) return XcbText::refused("ShmGetImage", *error);
            if (!reply) return XcbText::lostConnection();
            copyRows(m_format, m_segment->data() + (i % 2) * halfBytes, r, area, bits, stride);
            return std::nullopt;
        });
}

std::optional<X11RootReader::Failure> X11RootReader::readPlain(const QRect& area, uchar* bits,
                                                               qsizetype stride) {
    xcb_connection_t* c = m_connection;
    return inBands(
        c, m_format, area,
        [&](int, const QRect& r) {
            return xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, r.x(), r.y(), r.width(),
                                 r.height(), ~0u)
                .sequence;
        },
        [&](int, unsigned int sequence, const QRect& r) -> std::optional<Failure> {
            xcb_generic_error_t* raw = nullptr;
            XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(c, {sequence}, &raw));
            XcbReply<xcb_generic_error_t> error(raw);
            if (error) return XcbText::refused("GetImage", *error);
            if (!reply) return XcbText::lostConnection();
            if (qsizetype(xcb_get_image_data_length(reply.get())) <
                m_format.rowBytes(r.width()) * r.height())
                return XcbText::failure(QStringLiteral("image incomplète reçue du serveur X"));
            copyRows(m_format, xcb_get_image_data(reply.get()), r, area, bits, stride);
            return std::nullopt;
        },
        plainBandBytes);
}
