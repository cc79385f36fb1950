#include <gtest/gtest.h>

#include <libdeflate.h>
#include <zlib.h>
#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

#include "Export/DeflateBlocks.h"

namespace {

QByteArray compressed(const QByteArray& data, int level) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    QByteArray out(qsizetype(libdeflate_deflate_compress_bound(c, data.size())) + 5, '\0');
    const size_t size =
        libdeflate_deflate_compress(c, data.constData(), data.size(), out.data(), out.size() - 5);
    libdeflate_free_compressor(c);
    out.resize(qsizetype(size));
    return out;
}

// zlib's own raw inflate, which must stop exactly at the end of the last stream.
std::optional<QByteArray> inflated(const QByteArray& stream, qsizetype expected) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return std::nullopt;
    QByteArray out(expected + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.constData()));
    z.avail_in = uInt(stream.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int result = inflate(&z, Z_FINISH);
    const bool whole = result == Z_STREAM_END && z.avail_in == 0;
    out.resize(qsizetype(z.total_out));
    inflateEnd(&z);
    if (!whole) return std::nullopt;
    return out;
}

QByteArray noise(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char& b : bytes) b = char(random.bounded(256));
    return bytes;
}

// Text-like bytes: repeated words with some variety, so every block kind and long codes occur.
QByteArray prose(qsizetype size, quint32 seed) {
    static const char* words[] = {"capture ", "écran ", "zone ", "annoter ", "copier\n", "PNG "};
    QByteArray bytes;
    QRandomGenerator random(seed);
    while (bytes.size() < size) {
        bytes += words[random.bounded(6)];
        if (random.bounded(10) == 0) bytes += char(random.bounded(256));
    }
    bytes.resize(size);
    return bytes;
}

}  // namespace

TEST(DeflateBlocks, JoinedStreamsInflateToTheConcatenatedInputs) {
    struct Case {
        const char* what;
        QByteArray data;
    };
    const QList<Case> cases{
        {"empty", QByteArray()},
        {"one byte (a fixed-code block)", QByteArray("x")},
        {"short text", prose(300, 1)},
        {"incompressible (stored blocks)", noise(200000, 2)},
        {"long text (several dynamic blocks)", prose(400000, 3)},
        {"text then noise", prose(150000, 4) + noise(70000, 5) + prose(90000, 6)},
        {"one repeated byte", QByteArray(500000, 'a')},
    };
    for (int level : {0, 2, 12}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << ", level " << level);
            QByteArray first = compressed(c.data, level);
            const auto end = DeflateBlocks::findEnd(
                reinterpret_cast<const uchar*>(first.constData()), first.size());
            ASSERT_TRUE(end.has_value());
            // The end-of-block code ends in the last byte; only padding follows it.
            EXPECT_GT(end->endBit, qint64(first.size()) * 8 - 8);
            EXPECT_LE(end->endBit, qint64(first.size()) * 8);
            EXPECT_LT(end->lastHeaderBit, end->endBit);

            first.resize(first.size() + 5);
            first.resize(DeflateBlocks::makeJoinable(reinterpret_cast<uchar*>(first.data()), *end));
            const QByteArray second = prose(1000, 7);
            const auto joined = inflated(first + first + compressed(second, level),
                                         2 * c.data.size() + second.size());
            ASSERT_TRUE(joined.has_value());
            EXPECT_TRUE(*joined == c.data + c.data + second);
        }
    }
}

TEST(DeflateBlocks, MalformedOrTruncatedStreamsAreRefused) {
    const QByteArray good = compressed(prose(100000, 8), 6);
    const auto* bytes = reinterpret_cast<const uchar*>(good.constData());
    ASSERT_TRUE(DeflateBlocks::findEnd(bytes, good.size()).has_value());
    EXPECT_FALSE(DeflateBlocks::findEnd(bytes, good.size() / 2).has_value());
    EXPECT_FALSE(DeflateBlocks::findEnd(bytes, 0).has_value());
    const uchar reservedType[] = {0x07, 0, 0, 0};  // final block of type 3
    EXPECT_FALSE(DeflateBlocks::findEnd(reservedType, 4).has_value());
    const uchar badStoredLength[] = {0x01, 0x05, 0x00, 0x00, 0x00, 'a', 'b', 'c', 'd', 'e'};
    EXPECT_FALSE(DeflateBlocks::findEnd(badStoredLength, 10).has_value());
}
