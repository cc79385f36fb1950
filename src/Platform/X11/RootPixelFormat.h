#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QtGlobal>

struct xcb_connection_t;
struct xcb_screen_t;

// How an X server lays out the root window's pixels in a Z-pixmap image, and their conversion
// to opaque RGB32. True colour at 16 bits per pixel (depths 15 and 16) and 32 bits per pixel
// (depths 24, 30 and 32, in either byte order): narrower channels are widened by repeating
// their bits, as a 16-bit display shows them; wider ones keep their 8 high bits.
class RootPixelFormat {
public:
    struct Layout {
        int depth = 24;
        int bitsPerPixel = 32;
        int scanlinePad = 32;  // each row is padded to a multiple of this many bits
        quint32 redMask = 0xff0000, greenMask = 0xff00, blueMask = 0xff;
        bool lsbFirst = true;
    };

    // Nothing for layouts we cannot convert (palettes, 8 or 24 bits per pixel).
    static std::optional<RootPixelFormat> make(const Layout& layout);
    // The layout of a screen's root window as the server describes it.
    static Layout of(xcb_connection_t* connection, const xcb_screen_t& screen);
    // The layout of any drawable of this depth and visual (a window's); no channel masks when
    // the visual is not true or direct colour.
    static Layout of(xcb_connection_t* connection, quint8 depth, quint32 visual);

    const Layout& layout() const { return m_layout; }
    int bytesPerPixel() const { return m_layout.bitsPerPixel / 8; }
    // Bytes of one image row `width` pixels wide, padding included.
    qsizetype rowBytes(int width) const;
    // Converts one row of `width` server pixels to opaque RGB32.
    void convertRow(const uchar* from, quint32* to, int width) const;

private:
    struct Channel {
        quint32 mask = 0;
        int shift = 0;
        std::vector<quint8> eightBits;  // indexed by the channel's value
    };
    explicit RootPixelFormat(const Layout& layout);
    quint32 pixelAt(const uchar* from, int x) const;
    quint32 convert(quint32 pixel) const;

    Layout m_layout;
    bool m_plainRgb32 = false;  // the server's pixels are RGB32 already
    std::array<Channel, 3> m_channels;
    std::vector<quint32> m_table16;  // every 16-bit pixel, converted
};
