#include "Platform/X11/RootPixelFormat.h"

#include <bit>
#include <cstring>

#include <xcb/xcb.h>

namespace {

// A channel of `bits` bits as 8 bits: its high 8 bits, or its bits repeated to fill 8.
quint8 widen(quint32 value, int bits) {
    if (bits >= 8) return quint8(value >> (bits - 8));
    quint32 out = 0;
    for (int filled = 0; filled < 8; filled += bits) out = (out << bits) | value;
    const int total = ((8 + bits - 1) / bits) * bits;
    return quint8(out >> (total - 8));
}

bool contiguous(quint32 mask) {
    return mask != 0 && std::has_single_bit((mask >> std::countr_zero(mask)) + 1);
}

}  // namespace

std::optional<RootPixelFormat> RootPixelFormat::make(const Layout& layout) {
    if (layout.bitsPerPixel != 16 && layout.bitsPerPixel != 32) return std::nullopt;
    if (layout.scanlinePad < 8 || layout.scanlinePad % 8 != 0) return std::nullopt;
    const quint32 all = layout.redMask | layout.greenMask | layout.blueMask;
    for (quint32 mask : {layout.redMask, layout.greenMask, layout.blueMask})
        if (!contiguous(mask) || std::popcount(mask) > 16) return std::nullopt;
    if (std::popcount(all) != std::popcount(layout.redMask) + std::popcount(layout.greenMask) +
                                  std::popcount(layout.blueMask))
        return std::nullopt;
    if (layout.bitsPerPixel == 16 && (all >> 16) != 0) return std::nullopt;
    return RootPixelFormat(layout);
}

RootPixelFormat::RootPixelFormat(const Layout& layout) : m_layout(layout) {
    m_plainRgb32 = layout.bitsPerPixel == 32 && layout.lsbFirst && layout.redMask == 0xff0000 &&
                   layout.greenMask == 0xff00 && layout.blueMask == 0xff;
    const quint32 masks[] = {layout.redMask, layout.greenMask, layout.blueMask};
    for (int i = 0; i < 3; ++i) {
        Channel& c = m_channels[i];
        c.mask = masks[i];
        c.shift = std::countr_zero(c.mask);
        const int bits = std::popcount(c.mask);
        c.eightBits.resize(std::size_t(1) << bits);
        for (quint32 v = 0; v < c.eightBits.size(); ++v) c.eightBits[v] = widen(v, bits);
    }
    if (layout.bitsPerPixel == 16) {
        m_table16.resize(65536);
        for (quint32 p = 0; p < 65536; ++p) m_table16[p] = convert(p);
    }
}

RootPixelFormat::Layout RootPixelFormat::of(xcb_connection_t* connection,
                                            const xcb_screen_t& screen) {
    return of(connection, screen.root_depth, screen.root_visual);
}

RootPixelFormat::Layout RootPixelFormat::of(xcb_connection_t* connection, quint8 depth,
                                            quint32 visual) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    Layout layout;
    layout.depth = depth;
    layout.bitsPerPixel = 0;
    layout.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
        if (it.data->depth == depth) {
            layout.bitsPerPixel = it.data->bits_per_pixel;
            layout.scanlinePad = it.data->scanline_pad;
        }
    layout.redMask = layout.greenMask = layout.blueMask = 0;
    // Visual ids are unique across the server's screens.
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s))
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d))
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
                if (v.data->visual_id == visual &&
                    (v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR ||
                     v.data->_class == XCB_VISUAL_CLASS_DIRECT_COLOR)) {
                    layout.redMask = v.data->red_mask;
                    layout.greenMask = v.data->green_mask;
                    layout.blueMask = v.data->blue_mask;
                }
    return layout;
}

qsizetype RootPixelFormat::rowBytes(int width) const {
    const qsizetype bits = qsizetype(width) * m_layout.bitsPerPixel;
    const qsizetype pad = m_layout.scanlinePad;
    return (bits + pad - 1) / pad * pad / 8;
}

quint32 RootPixelFormat::pixelAt(const uchar* from, int x) const {
    if (m_layout.bitsPerPixel == 16) {
        const uchar* p = from + std::size_t(x) * 2;
        return m_layout.lsbFirst ? quint32(p[0] | p[1] << 8) : quint32(p[1] | p[0] << 8);
    }
    const uchar* p = from + std::size_t(x) * 4;
    return m_layout.lsbFirst
               ? quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24
               : quint32(p[3]) | quint32(p[2]) << 8 | quint32(p[1]) << 16 | quint32(p[0]) << 24;
}

quint32 RootPixelFormat::convert(quint32 pixel) const {
    quint32 rgb = 0xff000000u;
    for (const Channel& c : m_channels)
        rgb = (rgb & 0xff000000u) | (rgb & 0xffffu) << 8 | c.eightBits[(pixel & c.mask) >> c.shift];
    return rgb;
}

void RootPixelFormat::convertRow(const uchar* from, quint32* to, int width) const {
    if (m_plainRgb32) {
        // The server leaves the fourth byte undefined; RGB32 wants it opaque.
        const auto* src = reinterpret_cast<const quint32*>(from);
        for (int x = 0; x < width; ++x) to[x] = src[x] | 0xff000000u;
    } else if (!m_table16.empty()) {
        for (int x = 0; x < width; ++x) to[x] = m_table16[pixelAt(from, x)];
    } else {
        for (int x = 0; x < width; ++x) to[x] = convert(pixelAt(from, x));
    }
}
