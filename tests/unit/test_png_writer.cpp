#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>
#include <QRandomGenerator>
#include <QtEndian>

#include "Export/PngWriter.h"

namespace {

// libpng's reading of the file as straight 8-bit RGBA; any warning (a bad chunk CRC, a bad
// Adler-32, data after the stream) fails it as an error would.
std::optional<QImage> libpngDecoded(const QByteArray& file, std::string* message) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.constData(), size_t(file.size()))) {
        *message = image.message;
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGBA;
    QImage out(int(image.width), int(image.height), QImage::Format_RGBA8888);
    const bool read =
        png_image_finish_read(&image, nullptr, out.bits(), out.bytesPerLine(), nullptr);
    *message = image.message;
    if (!read || image.warning_or_error) return std::nullopt;
    return out;
}

// Noise over gradients: every band compresses differently, with literals and matches.
QImage sample(QSize size, QImage::Format format, bool translucent, quint32 seed) {
    QImage image(size, QImage::Format_ARGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const int a = translucent ? (x * 13 + y * 7) % 256 : 255;
            const int n = (x / 40 + y / 30) % 3 == 0 ? int(random.bounded(256)) : 0;
            image.setPixel(x, y, qRgba((x * 3 + n) & 255, (y * 5) & 255, (x ^ y) & 255, a));
        }
    return image.convertToFormat(format);
}

// The file decodes with libpng to the image's pixels, compared unpremultiplied: the PNG holds
// straight alpha.
void expectDecodesTo(const std::optional<QByteArray>& file, const QImage& image) {
    ASSERT_TRUE(file.has_value());
    std::string message;
    const auto back = libpngDecoded(*file, &message);
    ASSERT_TRUE(back.has_value()) << message;
    EXPECT_EQ(*back, image.convertToFormat(QImage::Format_RGBA8888));
}

QImage noise(QSize size, quint32 seed) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) image.setPixel(x, y, random.generate() | 0xff000000);
    return image;
}

QByteArray chunk(const QByteArray& file, const char* type, qsizetype* dataAt = nullptr) {
    const qsizetype at = file.indexOf(type);
    if (at < 4) return {};
    const quint32 length = qFromBigEndian<quint32>(file.constData() + at - 4);
    if (dataAt) *dataAt = at + 4;
    return file.mid(at + 4, length);
}

}  // namespace

TEST(PngWriter, EveryBandLayoutDecodesWithLibpngToTheSamePixels) {
    struct Case {
        QSize size;
        QImage::Format format;
        bool translucent;
    };
    const QList<Case> cases{
        {{1, 1}, QImage::Format_RGB32, false},
        {{1, 1}, QImage::Format_ARGB32, true},
        {{1, 5}, QImage::Format_RGB32, false},
        {{5, 1}, QImage::Format_RGBA8888_Premultiplied, true},
        {{37, 3}, QImage::Format_RGB888, false},  // fewer rows than bands
        {{333, 2}, QImage::Format_ARGB32, true},
        {{1001, 97}, QImage::Format_RGB32, false},  // odd width and height
        {{257, 211}, QImage::Format_RGBA8888, true},
        {{640, 480}, QImage::Format_RGBX8888, false},
        {{200, 150}, QImage::Format_RGB32, false},  // pure noise: bigger compressed than raw
    };
    for (int bands : {1, 2, 3, 7, 64}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << c.size.width() << "x" << c.size.height() << " format " << int(c.format)
                         << ", " << bands << " bands");
            const QImage image = c.size == QSize(200, 150)
                                     ? noise(c.size, quint32(bands))
                                     : sample(c.size, c.format, c.translucent, quint32(bands));
            expectDecodesTo(PngWriter::encoded(image, {PngWriter::defaultLevel, bands}), image);
        }
    }
}

TEST(PngWriter, ALargeImageIsSplitAndStaysCloseToOneBandsSize) {
    const QImage image = sample({1400, 800}, QImage::Format_RGB32, false, 11);
    const auto automatic = PngWriter::encoded(image);
    const auto single = PngWriter::encoded(image, {PngWriter::defaultLevel, 1});
    ASSERT_TRUE(automatic && single);
    std::string message;
    const auto back = libpngDecoded(*automatic, &message);
    ASSERT_TRUE(back.has_value()) << message;
    EXPECT_EQ(*back, image.convertToFormat(QImage::Format_RGBA8888));
    // Bands are joined by empty stored blocks (00 00 ff ff), which one stream would not need.
    const QByteArray joined = chunk(*automatic, "IDAT"), whole = chunk(*single, "IDAT");
    EXPECT_GT(joined.count(QByteArray("\x00\x00\xff\xff", 4)),
              whole.count(QByteArray("\x00\x00\xff\xff", 4)));
    EXPECT_LT(automatic->size(), single->size() * 1.01);
}

TEST(PngWriter, AWrongChecksumIsCaughtByTheDecoder) {
    // The decoder used above does check what the bands' combined Adler-32 must get right.
    const QImage image = sample({300, 200}, QImage::Format_RGB32, false, 5);
    auto file = *PngWriter::encoded(image, {PngWriter::defaultLevel, 4});
    qsizetype dataAt = 0;
    const QByteArray idat = chunk(file, "IDAT", &dataAt);
    ASSERT_FALSE(idat.isEmpty());
    file[dataAt + idat.size() - 1] = char(file[dataAt + idat.size() - 1] ^ 0x10);
    // A correct chunk CRC over the damaged data, so only the Adler-32 is wrong.
    const quint32 crc = quint32(crc32(
        0, reinterpret_cast<const Bytef*>(file.constData() + dataAt - 4), uInt(idat.size() + 4)));
    qToBigEndian(crc, file.data() + dataAt + idat.size());
    std::string message;
    EXPECT_FALSE(libpngDecoded(file, &message).has_value());
    EXPECT_NE(message.find("incorrect data check"), std::string::npos) << message;
}

TEST(PngWriter, EachRowGetsTheFilterThatSuitsIt) {
    const int width = 64;
    QImage image(width, 5, QImage::Format_RGB888);
    auto set = [&](int x, int y, int r, int g, int b) { image.setPixel(x, y, qRgb(r, g, b)); };
    QRandomGenerator random(3);
    for (int x = 0; x < width; ++x) {
        set(x, 0, x * 7 & 255, x * 3 & 255, x * 11 & 255);
        set(x, 1, x * 7 & 255, x * 3 & 255, x * 11 & 255);  // the row above again: Up
        set(x, 2, random.bounded(256), random.bounded(256), random.bounded(256));
        set(x, 4, 200, 10, 90);  // flat, unlike the row above: Sub
    }
    // Each byte the floor of the mean of its left neighbour and the byte above: Average.
    const uchar* above = image.constScanLine(2);
    uchar* row = image.scanLine(3);
    for (int i = 0; i < width * 3; ++i) row[i] = uchar(i < 3 ? 77 : (row[i - 3] + above[i]) / 2);

    for (int bands : {1, 5}) {  // five bands: every row's filter looks into the band before
        SCOPED_TRACE(bands);
        const auto file = PngWriter::encoded(image, {PngWriter::defaultLevel, bands});
        expectDecodesTo(file, image);
        if (testing::Test::HasFatalFailure()) return;

        const QByteArray idat = chunk(*file, "IDAT");
        QByteArray raw(5 * (1 + width * 3), Qt::Uninitialized);
        uLongf size = uLongf(raw.size());
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &size,
                             reinterpret_cast<const Bytef*>(idat.constData()), uLong(idat.size())),
                  Z_OK);
        ASSERT_EQ(qsizetype(size), raw.size());
        const int stride = 1 + width * 3;
        // Sub on the first row, which has nothing above.
        const int expected[5] = {1, 2, -1, 3, 1};
        for (int y : {0, 1, 3, 4}) EXPECT_EQ(int(raw[y * stride]), expected[y]) << "row " << y;
    }
}
