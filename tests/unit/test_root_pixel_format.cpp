#include <gtest/gtest.h>

#include <QList>

#include "Platform/X11/RootPixelFormat.h"

namespace {

using Layout = RootPixelFormat::Layout;

const Layout depth16{16, 16, 32, 0xf800, 0x07e0, 0x001f, true};
const Layout depth15{15, 16, 32, 0x7c00, 0x03e0, 0x001f, true};
const Layout depth24{24, 32, 32, 0xff0000, 0x00ff00, 0x0000ff, true};
const Layout depth30{30, 32, 32, 0x3ff00000, 0x000ffc00, 0x000003ff, true};
const Layout depth24Bgr{24, 32, 32, 0x0000ff, 0x00ff00, 0xff0000, true};
const Layout depth24Msb{24, 32, 32, 0xff0000, 0x00ff00, 0x0000ff, false};

QList<quint32> convert(const Layout& layout, const QByteArray& row, int width) {
    const auto format = RootPixelFormat::make(layout);
    if (!format) return {};
    QList<quint32> out(width);
    format->convertRow(reinterpret_cast<const uchar*>(row.constData()), out.data(), width);
    return out;
}

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values) b.append(char(v));
    return b;
}

}  // namespace

TEST(RootPixelFormat, ConvertsEachServerLayoutToOpaqueRgb32) {
    struct Case {
        const char* what;
        Layout layout;
        QByteArray row;
        QList<quint32> expected;
    };
    const Case cases[] = {
        // 5 and 6 bits widened by repeating their bits: 0 stays 0, full stays 255.
        {"16: white, black", depth16, bytes({0xff, 0xff, 0x00, 0x00}), {0xffffffff, 0xff000000}},
        {"16: r=1 g=1 b=1", depth16, bytes({0x21, 0x08}), {0xff080408}},
        {"16: r=16 g=32 b=16", depth16, bytes({0x10, 0x84}), {0xff848284}},
        {"15: r=31 g=1 b=0", depth15, bytes({0x20, 0x7c}), {0xffff0800}},
        // 10 bits keep their 8 high bits: an 8-bit colour widened to 10 bits comes back.
        {"30: 8-bit values widened", depth30, bytes({0x04, 0x20, 0x20, 0x20}), {0xff800201}},
        {"30: full", depth30, bytes({0xff, 0xff, 0xff, 0x3f}), {0xffffffff}},
        {"24: fourth byte ignored", depth24, bytes({0x11, 0x22, 0x33, 0x00}), {0xff332211}},
        {"24: blue in the high byte", depth24Bgr, bytes({0x11, 0x22, 0x33, 0x00}), {0xff112233}},
        {"24: most significant byte first",
         depth24Msb,
         bytes({0x00, 0x11, 0x22, 0x33}),
         {0xff112233}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(convert(c.layout, c.row, int(c.expected.size())), c.expected) << c.what;
}

TEST(RootPixelFormat, SixteenBitColoursSurviveTheRoundTrip) {
    // Every 16-bit pixel gives a colour that the display's own quantisation maps back to it.
    const auto format = RootPixelFormat::make(depth16);
    ASSERT_TRUE(format);
    for (quint32 p = 0; p < 65536; ++p) {
        const uchar row[2] = {uchar(p & 0xff), uchar(p >> 8)};
        quint32 rgb = 0;
        format->convertRow(row, &rgb, 1);
        const quint32 back =
            ((rgb >> 19) & 0x1f) << 11 | ((rgb >> 10) & 0x3f) << 5 | ((rgb >> 3) & 0x1f);
        ASSERT_EQ(back, p);
    }
}

TEST(RootPixelFormat, RowsArePaddedToTheServersScanlinePad) {
    const auto sixteen = RootPixelFormat::make(depth16);
    const auto thirty = RootPixelFormat::make(depth30);
    ASSERT_TRUE(sixteen && thirty);
    EXPECT_EQ(sixteen->rowBytes(1919), 3840);
    EXPECT_EQ(sixteen->rowBytes(1920), 3840);
    EXPECT_EQ(thirty->rowBytes(1919), 7676);
}

TEST(RootPixelFormat, RefusesLayoutsItCannotConvert) {
    Layout palette{8, 8, 32, 0, 0, 0, true};
    Layout packed24{24, 24, 32, 0xff0000, 0xff00, 0xff, true};
    Layout noMasks = depth24;
    noMasks.redMask = noMasks.greenMask = noMasks.blueMask = 0;
    Layout overlapping = depth16;
    overlapping.greenMask = 0xfc00;
    EXPECT_FALSE(RootPixelFormat::make(palette));
    EXPECT_FALSE(RootPixelFormat::make(packed24));
    EXPECT_FALSE(RootPixelFormat::make(noMasks));
    EXPECT_FALSE(RootPixelFormat::make(overlapping));
    EXPECT_TRUE(RootPixelFormat::make(depth30));
}
