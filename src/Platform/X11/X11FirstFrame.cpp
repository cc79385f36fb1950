#include "Platform/X11/X11FirstFrame.h"

#include <algorithm>
#include <optional>

#include <cstdlib>
#include <cstring>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include "Platform/X11/QtConnection.h"
#include "Platform/X11/RootPixelFormat.h"
#include "Platform/X11/XcbHandles.h"
#include "Platform/X11/XcbShmSegment.h"

namespace X11FirstFrame {

namespace {

// Without shared memory, the server reads each request into a buffer it grows to the request's
// size and shrinks after: requests of a few rows keep that buffer in memory it already has.
// Measured on a 4K frame: 14 ms with 64 KiB requests, 80 ms with 16 MiB ones, a fresh page for
// every 4 KiB.
constexpr std::size_t requestSize = 64 * 1024;
// With it, rows go through the two halves of a small segment kept for good: its pages stay in
// memory in both processes, and the server copies from it instead of reading the socket (35 to
// 60 ms of a 4K + 1080p frame through the socket here).
constexpr std::size_t halfBytes = 1u << 20;

// Whether pixels of this depth and visual are 32-bit words 0x??RRGGBB in the host's byte
// order, as QImage keeps RGB32.
bool matchesImage(xcb_connection_t* c, quint8 depth, xcb_visualid_t visual) {
    const RootPixelFormat::Layout layout = RootPixelFormat::of(c, depth, visual);
    return layout.lsbFirst == (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) && layout.bitsPerPixel == 32 &&
           layout.scanlinePad == 32 && layout.redMask == 0xff0000 && layout.greenMask == 0xff00 &&
           layout.blueMask == 0xff;
}

// The window whose frame is being sent, once its layout matched the images'.
struct Target {
    xcb_window_t window = XCB_NONE;
    quint8 depth = 0;
};

std::optional<Target> targetFor(xcb_connection_t* c, xcb_window_t w) {
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr));
    if (!geometry || !attributes || !matchesImage(c, geometry->depth, attributes->visual))
        return std::nullopt;
    return Target{w, geometry->depth};
}

// The segment and, for each half, a round trip sent after its last put: the half is free again
// once that is answered.
struct Shared {
    XcbShmSegment* segment = nullptr;
    std::optional<unsigned int> pending[2];
    int next = 0;
};

// Made on first use on Qt's connection and never freed: the segment is marked for removal, so it
// goes with the process, and Qt's connection is closed before static objects would be destroyed.
Shared* shared(xcb_connection_t* c) {
    static Shared* made = [c] {
        auto* s = new Shared;
        s->segment = XcbShmSegment::create(c, 2 * halfBytes).release();
        return s;
    }();
    return made->segment ? made : nullptr;
}

void putShared(xcb_connection_t* c, Shared& s, const Target& target, xcb_gcontext_t gc,
               const QImage& rows, int top) {
    const qsizetype rowBytes = rows.bytesPerLine();
    const int rowsPerHalf = int(halfBytes / std::size_t(rowBytes));
    for (int y = 0; y < rows.height(); y += rowsPerHalf) {
        const int count = std::min(rowsPerHalf, rows.height() - y);
        const int half = s.next;
        s.next = 1 - half;
        if (s.pending[half]) std::free(xcb_get_input_focus_reply(c, {*s.pending[half]}, nullptr));
        unsigned char* to = s.segment->data() + std::size_t(half) * halfBytes;
        std::memcpy(to, rows.constScanLine(y), std::size_t(rowBytes) * std::size_t(count));
        xcb_shm_put_image(c, target.window, gc, uint16_t(rows.width()), uint16_t(count), 0, 0,
                          uint16_t(rows.width()), uint16_t(count), 0, int16_t(top + y),
                          target.depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, s.segment->id(),
                          uint32_t(std::size_t(half) * halfBytes));
        s.pending[half] = xcb_get_input_focus(c).sequence;
        xcb_flush(c);
    }
}

// Whether one row with its request header fits in a request the server takes.
bool fitsPlainRequests(xcb_connection_t* c, const QImage& rows) {
    const std::size_t maxBytes = std::size_t(xcb_get_maximum_request_length(c)) * 4;
    return maxBytes > sizeof(xcb_put_image_request_t) + std::size_t(rows.bytesPerLine());
}

void putPlain(xcb_connection_t* c, const Target& target, xcb_gcontext_t gc, const QImage& rows,
              int top) {
    const qsizetype rowBytes = rows.bytesPerLine();
    const std::size_t maxBytes = std::size_t(xcb_get_maximum_request_length(c)) * 4;
    const std::size_t requestBytes =
        std::min(maxBytes - sizeof(xcb_put_image_request_t), requestSize);
    const int rowsPerRequest = std::max(1, int(requestBytes / std::size_t(rowBytes)));
    for (int y = 0; y < rows.height(); y += rowsPerRequest) {
        const int count = std::min(rowsPerRequest, rows.height() - y);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, target.window, gc, uint16_t(rows.width()),
                      uint16_t(count), 0, int16_t(top + y), 0, target.depth,
                      uint32_t(rowBytes * count), rows.constScanLine(y));
    }
}

}  // namespace

bool show(WId window, const QImage& rows, int top) {
    static std::optional<Target> target;
    xcb_connection_t* c = qtConnection();
    const QImage::Format format = rows.format();
    if (!c || !window || rows.isNull() || top < 0 ||
        rows.bytesPerLine() != qsizetype(rows.width()) * 4 ||
        (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
         format != QImage::Format_ARGB32_Premultiplied))
        return false;
    const auto w = xcb_window_t(window);
    if (top == 0 || !target || target->window != w) target = targetFor(c, w);
    if (!target) return false;
    Shared* s = shared(c);
    const bool viaSegment = s && std::size_t(rows.bytesPerLine()) <= halfBytes;
    if (!viaSegment && !fitsPlainRequests(c, rows)) return false;

    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, w, 0, nullptr);
    if (viaSegment)
        putShared(c, *s, *target, gc, rows, top);
    else
        putPlain(c, *target, gc, rows, top);
    xcb_free_gc(c, gc);
    xcb_flush(c);
    return true;
}

}  // namespace X11FirstFrame
