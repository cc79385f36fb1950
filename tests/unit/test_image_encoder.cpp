#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>

#include "Export/ImageEncoder.h"

namespace {

// Every pixel different, with opaque, translucent and clear pixels when the format has alpha.
QImage pattern(QSize size, QImage::Format format) {
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const int alpha = (x + y) % 3 == 0 ? 255 : (x * 37 + y * 11) % 256;
            image.setPixel(x, y, qRgba((x * 7) & 255, (y * 5) & 255, (x * y) & 255, alpha));
        }
    return image.convertToFormat(format);
}

QImage decoded(const QByteArray& bytes, const char* format) {
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, format);
    return reader.read();
}

}  // namespace

TEST(ImageEncoder, PngIsOneCompleteFileFromSignatureToIend) {
    const auto bytes = ImageEncoder::data(pattern({1, 1}, QImage::Format_RGBA8888_Premultiplied),
                                          ImageEncoder::png);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_TRUE(bytes->startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8)));
    // The IEND chunk: zero length, its name and its fixed CRC.
    EXPECT_TRUE(bytes->endsWith(QByteArray("\0\0\0\0IEND\xae\x42\x60\x82", 12)));
    EXPECT_EQ(bytes->count("IEND"), 1);
}

TEST(ImageEncoder, PngAndTiffRoundTripToIdenticalPixels) {
    struct Case {
        QSize size;
        QImage::Format format;
    };
    const QList<Case> cases{
        {{1, 1}, QImage::Format_RGBA8888_Premultiplied},
        {{37, 23}, QImage::Format_RGBA8888_Premultiplied},
        {{300, 2}, QImage::Format_RGB32},
        {{2, 300}, QImage::Format_ARGB32_Premultiplied},
        {{17, 9}, QImage::Format_RGB888},
    };
    for (const QString& type : {ImageEncoder::png, ImageEncoder::tiff}) {
        for (const Case& c : cases) {
            const QImage image = pattern(c.size, c.format);
            const auto bytes = ImageEncoder::data(image, type);
            ASSERT_TRUE(bytes.has_value()) << qPrintable(type);
            const QImage back = decoded(*bytes, type == ImageEncoder::png ? "png" : "tiff");
            ASSERT_EQ(back.size(), c.size) << qPrintable(type);
            // Compared premultiplied: the form the composer gives and TIFF stores.
            const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
            EXPECT_EQ(back.convertToFormat(premultiplied), image.convertToFormat(premultiplied))
                << qPrintable(type) << " " << c.size.width() << "x" << c.size.height() << " format "
                << int(c.format);
        }
    }
}

TEST(ImageEncoder, EncodingTwiceGivesTheSameBytesInSeparateBuffers) {
    const QImage image = pattern({120, 80}, QImage::Format_RGBA8888_Premultiplied);
    for (const QString& type : {ImageEncoder::png, ImageEncoder::tiff}) {
        auto first = ImageEncoder::data(image, type);
        const auto second = ImageEncoder::data(image, type);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(*first, *second);
        first->data()[first->size() / 2] ^= 0xff;
        EXPECT_NE(*first, *second);
    }
}

TEST(ImageEncoder, UnsupportedTypeFailsNamingTheType) {
    const QImage image = pattern({4, 4}, QImage::Format_RGBA8888_Premultiplied);
    for (const QString type : {"image/webp", "public.png", "", "png"}) {
        const auto result = ImageEncoder::data(image, type);
        ASSERT_FALSE(result.has_value()) << qPrintable(type);
        EXPECT_EQ(result.error(), ImageEncoder::Failure::unsupportedType(type));
        EXPECT_EQ(result.error().description(), "Format d'image non pris en charge : " + type);
    }
}

TEST(ImageEncoder, EmptyImageFailsToEncode) {
    for (const QString& type : {ImageEncoder::png, ImageEncoder::tiff}) {
        const auto result = ImageEncoder::data(QImage(), type);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error(), ImageEncoder::Failure::encodingFailed());
        EXPECT_EQ(result.error().description(), "L'encodage de l'image a échoué.");
    }
}

TEST(ImageEncoder, OpaqueImagesAreWrittenWithoutAlphaAndTranslucentOnesKeepIt) {
    QImage opaque(40, 30, QImage::Format_RGBA8888_Premultiplied);
    opaque.fill(QColor(10, 200, 30));
    QImage translucent = opaque;
    translucent.setPixelColor(39, 29, QColor(10, 200, 30, 128));
    for (const QString& type : {ImageEncoder::png, ImageEncoder::tiff}) {
        const auto solid = ImageEncoder::data(opaque, type);
        const auto seeThrough = ImageEncoder::data(translucent, type);
        ASSERT_TRUE(solid && seeThrough);
        const char* format = type == ImageEncoder::png ? "png" : "tiff";
        EXPECT_FALSE(decoded(*solid, format).hasAlphaChannel()) << qPrintable(type);
        EXPECT_TRUE(decoded(*seeThrough, format).hasAlphaChannel()) << qPrintable(type);
        EXPECT_LT(solid->size(), seeThrough->size()) << qPrintable(type);
    }
}

TEST(ImageEncoder, PngCarriesTheImagesColourSpace) {
    struct Case {
        QColorSpace space;
        const char* chunk;
    };
    const QList<Case> cases{{QColorSpace::SRgb, "sRGB"}, {QColorSpace::DisplayP3, "iCCP"}};
    for (const Case& c : cases) {
        QImage image(8, 8, QImage::Format_RGBA8888_Premultiplied);
        image.fill(Qt::white);
        image.setColorSpace(c.space);
        const auto bytes = ImageEncoder::data(image, ImageEncoder::png);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_TRUE(bytes->contains(c.chunk)) << c.chunk;
        EXPECT_EQ(decoded(*bytes, "png").colorSpace(), c.space) << c.chunk;
    }
    QImage untagged(8, 8, QImage::Format_RGB32);
    untagged.fill(Qt::white);
    const auto bytes = ImageEncoder::data(untagged, ImageEncoder::png);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_FALSE(bytes->contains("sRGB") || bytes->contains("iCCP"));
}
