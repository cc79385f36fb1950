#include <gtest/gtest.h>

#include <future>
#include <optional>

#include "Platform/ImageBufferPool.h"

namespace {

const QSize frame(1920, 1080);

// Which buffer an image is: stays the same however often the buffer is written.
qint64 bufferOf(const QImage& image) {
    return image.cacheKey() >> 32;
}

QImage filled(ImageBufferPool& pool, QSize size, QRgb color) {
    return pool.fill(size, [&](uchar* bits, qsizetype stride) {
        for (int y = 0; y < size.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
            std::fill(line, line + size.width(), color);
        }
    });
}

TEST(ImageBufferPool, AHeldImageIsNeverWrittenAgain) {
    ImageBufferPool pool;
    const QImage first = filled(pool, frame, 0xff112233);
    const QImage second = filled(pool, frame, 0xff445566);
    EXPECT_NE(bufferOf(first), bufferOf(second));
    EXPECT_EQ(first.pixel(100, 100), 0xff112233u);
    EXPECT_EQ(first.pixel(1919, 1079), 0xff112233u);
    EXPECT_EQ(second.pixel(100, 100), 0xff445566u);
}

TEST(ImageBufferPool, AReleasedBufferIsReusedWithoutCopying) {
    ImageBufferPool pool;
    pool.prepare({frame});
    std::optional<qint64> buffer;
    for (int i = 0; i < 3; ++i) {
        const QImage image = filled(pool, frame, 0xff000000u | quint32(i));
        if (buffer) {
            EXPECT_EQ(bufferOf(image), *buffer) << "capture " << i;
        }
        buffer = bufferOf(image);
        EXPECT_EQ(image.pixel(5, 5), 0xff000000u | quint32(i));
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
    }
}

TEST(ImageBufferPool, ManyHeldImagesStayIntactAndReleasedOnesAreNotAllKept) {
    ImageBufferPool pool;
    QList<QImage> kept;
    for (int i = 0; i < 12; ++i) kept.append(filled(pool, frame, 0xff000000u | quint32(i)));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(kept[i].pixel(7, 7), 0xff000000u | quint32(i));
    QList<qint64> released;
    for (const QImage& k : kept) released.append(bufferOf(k));
    kept.clear();
    // After release the pool keeps a bounded number: later fills reuse at most that many.
    QList<QImage> again;
    for (int i = 0; i < 12; ++i) again.append(filled(pool, frame, 0xff000000u));
    int reused = 0;
    for (const QImage& a : again) reused += released.contains(bufferOf(a));
    EXPECT_GT(reused, 0);
    EXPECT_LE(reused, 8);
}

TEST(ImageBufferPool, SmallImagesAreMadeFresh) {
    ImageBufferPool pool;
    const QImage one = filled(pool, QSize(1, 1), 0xffabcdef);
    EXPECT_EQ(one.size(), QSize(1, 1));
    EXPECT_EQ(one.pixel(0, 0), 0xffabcdefu);
}

}  // namespace

TEST(ImageBufferPool, ReleaseDropsFreeBuffersAndLeavesHeldOnesIntact) {
    ImageBufferPool pool;
    pool.prepare({frame});
    const QImage held = filled(pool, frame, 0xff102030);
    std::optional<qint64> freeBuffer;
    {
        const QImage dropped = filled(pool, frame, 0xff405060);
        freeBuffer = bufferOf(dropped);
    }
    pool.release();
    EXPECT_EQ(held.pixel(1919, 1079), 0xff102030u);
    // The freed buffer is gone: the next frame is a new one, not the held one either.
    const QImage next = filled(pool, frame, 0xff708090);
    EXPECT_NE(bufferOf(next), *freeBuffer);
    EXPECT_NE(bufferOf(next), bufferOf(held));
    EXPECT_EQ(held.pixel(0, 0), 0xff102030u);
}

// After an idle release: buffers made for a capture of several displays, faulted in on another
// thread while the capture writes them.
TEST(ImageBufferPool, ReservedBuffersAreFilledWhileTheirPagesAreFaultedIn) {
    const QSize uhd(3840, 2160);
    ImageBufferPool pool;
    auto faulted = pool.reserve({uhd, QSize(2, 2), frame, uhd});
    ASSERT_TRUE(faulted.valid());
    const QImage first = filled(pool, uhd, 0xff102030);
    const QImage second = filled(pool, frame, 0xff405060);
    const QImage third = filled(pool, uhd, 0xff708090);
    faulted.wait();
    EXPECT_NE(bufferOf(first), bufferOf(third));
    // Faulting in alongside never touched what the capture wrote.
    const auto allOf = [](const QImage& image, QRgb color) {
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            if (std::any_of(line, line + image.width(), [&](QRgb p) { return p != color; }))
                return false;
        }
        return true;
    };
    EXPECT_TRUE(allOf(first, 0xff102030));
    EXPECT_TRUE(allOf(second, 0xff405060));
    EXPECT_TRUE(allOf(third, 0xff708090));
}

TEST(ImageBufferPool, NothingIsReservedWhileFreeBuffersAreReady) {
    ImageBufferPool pool;
    pool.prepare({frame});
    EXPECT_FALSE(pool.reserve({frame}).valid());
    // A second display of the same size needs a buffer of its own.
    auto faulted = pool.reserve({frame, frame});
    EXPECT_TRUE(faulted.valid());
    if (faulted.valid()) faulted.wait();
}
