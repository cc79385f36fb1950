#include <gtest/gtest.h>

#include <png.h>

#include <QImage>

#include "Platform/Wayland/PortalPngReader.h"

namespace {

// A picture whose neighbouring pixels differ unevenly, so every filter has work to do.
QImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(
                x, y,
                qRgb((x * 37 + y * 11) & 255, (x * x + 3 * y) & 255, (x * y * 7 + 200) & 255));
    return image;
}

struct PngOptions {
    int colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    int filters = PNG_ALL_FILTERS;
    int bitDepth = 8;
    int interlace = PNG_INTERLACE_NONE;
};

void append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<char*>(data), qsizetype(length));
}

// libpng writes the file, with small IDAT chunks so that there are many.
QByteArray encode(const QImage& image, const PngOptions& o) {
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, append, nullptr);
    png_set_compression_buffer_size(png, 1024);
    png_set_filter(png, 0, o.filters);
    png_set_IHDR(png, info, image.width(), image.height(), o.bitDepth, o.colourType, o.interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[1] = {{1, 2, 3}};
    if (o.colourType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 1);
    png_write_info(png, info);
    const int channels = o.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                         : o.colourType == PNG_COLOR_TYPE_RGB     ? 3
                                                                  : 1;
    const int passes = o.interlace == PNG_INTERLACE_NONE ? 1 : png_set_interlace_handling(png);
    QByteArray row(image.width() * channels * (o.bitDepth / 8), 0);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < image.height(); ++y) {
            auto* r = reinterpret_cast<uchar*>(row.data());
            for (int x = 0; x < image.width() && channels > 1 && o.bitDepth == 8; ++x) {
                const QRgb p = image.pixel(x, y);
                uchar* px = r + x * channels;
                px[0] = uchar(qRed(p)), px[1] = uchar(qGreen(p)), px[2] = uchar(qBlue(p));
                if (channels == 4) px[3] = uchar((x + y) & 255);  // alpha is ignored
            }
            png_write_row(png, r);
        }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(PortalPngReader, ReadsEveryFilterOfRgbAndRgbaAsOpaquePixels) {
    const QImage source = picture(37, 23);
    for (int colourType : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA})
        for (int filters : {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG,
                            PNG_FILTER_PAETH, PNG_ALL_FILTERS}) {
            SCOPED_TRACE(testing::Message()
                         << "colour type " << colourType << ", filters " << filters);
            const QByteArray png = encode(source, {.colourType = colourType, .filters = filters});
            const auto image = PortalPngReader::read(png);
            ASSERT_TRUE(image.has_value());
            EXPECT_EQ(image->format(), QImage::Format_RGB32);
            EXPECT_EQ(*image, source);
            // As Qt's own reader sees it, once made opaque.
            EXPECT_EQ(*image, QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32));
        }
}

TEST(PortalPngReader, LeavesOtherKindsAndDamagedFilesToQt) {
    const QImage source = picture(16, 9);
    for (const PngOptions& other :
         {PngOptions{.colourType = PNG_COLOR_TYPE_PALETTE},
          PngOptions{.colourType = PNG_COLOR_TYPE_GRAY},
          PngOptions{.colourType = PNG_COLOR_TYPE_RGB, .bitDepth = 16},
          PngOptions{.colourType = PNG_COLOR_TYPE_RGB, .interlace = PNG_INTERLACE_ADAM7}}) {
        SCOPED_TRACE(testing::Message() << "colour type " << other.colourType << ", depth "
                                        << other.bitDepth << ", interlace " << other.interlace);
        EXPECT_FALSE(PortalPngReader::read(encode(source, other)).has_value());
    }
    const QByteArray good = encode(source, {});
    ASSERT_TRUE(PortalPngReader::read(good).has_value());
    QByteArray flipped = good;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x5a);
    QByteArray taller = good;
    taller[8 + 8 + 7] = char(taller[8 + 8 + 7] + 1);  // IHDR height, lowest byte
    for (const QByteArray& damaged :
         {good.left(good.size() - 20), flipped, taller, QByteArray(), good.left(40)}) {
        EXPECT_FALSE(PortalPngReader::read(damaged).has_value());
    }
}

}  // namespace
