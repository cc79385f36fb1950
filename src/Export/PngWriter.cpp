#include "Export/PngWriter.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <libdeflate.h>
#include <zlib.h>
#include <QColorSpace>
#include <QThread>
#include <QtEndian>

#include "Export/DeflateBlocks.h"
#include "Export/FreshMemory.h"
#include "Export/ImageRows.h"
#include "Export/WorkSharing.h"

namespace {

using Compressor = std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)>;

// One opaque row as RGB bytes, SUB-filtered: each byte minus the same channel of the pixel to
// its left.
void filterRgbRow(const QImage& image, int y, uchar* out) {
    uchar pr = 0, pg = 0, pb = 0;
    ImageRows::visitRgb(image, y, [&](uchar r, uchar g, uchar b) {
        out[0] = uchar(r - pr), out[1] = uchar(g - pg), out[2] = uchar(b - pb);
        pr = r, pg = g, pb = b;
        out += 3;
    });
}

void filterRgbaRow(const QImage& image, int y, uchar* out) {
    const uchar* row = image.constScanLine(y);
    const int bytes = image.width() * 4;
    for (int i = 0; i < 4 && i < bytes; ++i) out[i] = row[i];
    for (int i = 4; i < bytes; ++i) out[i] = uchar(row[i] - row[i - 4]);
}

class ChunkWriter {
public:
    explicit ChunkWriter(QByteArray& out) : m_out(out) {}

    void raw(const void* data, qsizetype size) {
        std::memcpy(m_out.data() + m_pos, data, size);
        m_pos += size;
    }
    void u32(quint32 v) {
        const quint32 big = qToBigEndian(v);
        raw(&big, 4);
    }
    // Starts a chunk; its data then goes to dataPointer() or raw(), and end() closes it.
    void begin(const char* type) {
        m_start = m_pos;
        u32(0);
        raw(type, 4);
    }
    uchar* dataPointer() { return reinterpret_cast<uchar*>(m_out.data()) + m_pos; }
    void advance(qsizetype n) { m_pos += n; }
    // Closes the chunk; returns its data length.
    qsizetype end() {
        const qsizetype length = m_pos - m_start - 8;
        const quint32 big = qToBigEndian(quint32(length));
        std::memcpy(m_out.data() + m_start, &big, 4);
        u32(quint32(libdeflate_crc32(0, m_out.constData() + m_start + 4, length + 4)));
        return length;
    }
    qsizetype position() const { return m_pos; }

private:
    QByteArray& m_out;
    qsizetype m_pos = 0;
    qsizetype m_start = 0;
};

void writeHeader(ChunkWriter& w, const QImage& image, bool opaque) {
    static const uchar signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    w.raw(signature, 8);
    w.begin("IHDR");
    w.u32(quint32(image.width()));
    w.u32(quint32(image.height()));
    // 8 bits, RGB (2) or RGBA (6), deflate, adaptive filtering, no interlace.
    const uchar rest[5] = {8, uchar(opaque ? 2 : 6), 0, 0, 0};
    w.raw(rest, 5);
    w.end();
}

bool writeColorSpace(ChunkWriter& w, const QImage& image, int level) {
    const QColorSpace space = image.colorSpace();
    if (!space.isValid()) return true;
    if (space == QColorSpace(QColorSpace::SRgb)) {
        w.begin("sRGB");
        const uchar perceptual = 0;
        w.raw(&perceptual, 1);
        w.end();
        return true;
    }
    const QByteArray icc = space.iccProfile();
    if (icc.isEmpty()) return true;
    w.begin("iCCP");
    w.raw("ICC Profile\0\0", 13);  // name, its terminator, deflate
    Compressor compressor(libdeflate_alloc_compressor(level), &libdeflate_free_compressor);
    if (!compressor) return false;
    const size_t size = libdeflate_zlib_compress(compressor.get(), icc.constData(), icc.size(),
                                                 w.dataPointer(), icc.size() + 1024);
    if (size == 0) return false;
    w.advance(qsizetype(size));
    w.end();
    return true;
}

// Rows [firstRow, firstRow + rowCount) filtered into their place in the shared row buffer,
// then compressed as one raw deflate stream into their own slot of the output.
struct Band {
    int firstRow = 0;
    int rowCount = 0;
    uchar* filtered = nullptr;
    uchar* out = nullptr;
    qsizetype room = 0;
    qsizetype size = 0;  // 0 when compression failed
    quint32 adler = 1;
    bool last = false;
};

struct Source {
    QImage image;
    bool opaque = true;
    qsizetype stride = 0;  // filter byte + pixels
};

void filterBand(const Source& s, const Band& band) {
    for (int r = 0; r < band.rowCount; ++r) {
        uchar* line = band.filtered + s.stride * r;
        const int y = band.firstRow + r;
        line[0] = 1;  // SUB
        s.opaque ? filterRgbRow(s.image, y, line + 1) : filterRgbaRow(s.image, y, line + 1);
    }
}

void compressBand(const Source& s, int level, Band& band) {
    filterBand(s, band);
    Compressor compressor(libdeflate_alloc_compressor(level), &libdeflate_free_compressor);
    if (!compressor) return;
    const qsizetype bytes = s.stride * band.rowCount;
    // Room is kept for the empty stored block that lets the next band follow.
    const size_t size = libdeflate_deflate_compress(compressor.get(), band.filtered, bytes,
                                                    band.out, band.room - 5);
    band.adler = quint32(libdeflate_adler32(1, band.filtered, bytes));
    if (size == 0 || band.last) {
        band.size = qsizetype(size);
        return;
    }
    const auto end = DeflateBlocks::findEnd(band.out, qsizetype(size));
    band.size = end ? DeflateBlocks::makeJoinable(band.out, *end) : 0;
}

// Bands of at least 1 MiB, a few per core so that a band of hard-to-compress rows does not
// leave the other cores waiting.
int bandCount(qsizetype bytes, int rows, int requested) {
    if (requested > 0) return std::min(requested, rows);
    const qsizetype perCore = 2, minimum = qsizetype(1) << 20;
    const qsizetype most = std::min<qsizetype>(perCore * QThread::idealThreadCount(), rows);
    return int(std::clamp<qsizetype>(bytes / minimum, 1, std::max<qsizetype>(most, 1)));
}

QList<Band> splitRows(const Source& s, uchar* filtered, int count) {
    QList<Band> bands(count);
    const int height = s.image.height();
    int row = 0;
    for (int i = 0; i < count; ++i) {
        Band& b = bands[i];
        b.firstRow = row;
        b.rowCount = height / count + (i < height % count ? 1 : 0);
        b.filtered = filtered + s.stride * row;
        b.room = qsizetype(libdeflate_deflate_compress_bound(nullptr, s.stride * b.rowCount)) + 5;
        b.last = i == count - 1;
        row += b.rowCount;
    }
    return bands;
}

// The zlib stream: its header, the bands moved together, the Adler-32 of all rows.
bool writeImageData(ChunkWriter& w, QList<Band>& bands, qsizetype stride) {
    w.begin("IDAT");
    w.raw("\x78\x5e", 2);  // deflate, 32 KiB window, fast compression
    for (Band& b : bands) {
        if (b.size == 0) return false;
        std::memmove(w.dataPointer(), b.out, b.size);
        w.advance(b.size);
    }
    quint32 adler = bands.front().adler;
    for (qsizetype i = 1; i < bands.size(); ++i)
        adler =
            quint32(adler32_combine(adler, bands[i].adler, z_off_t(stride * bands[i].rowCount)));
    w.u32(adler);
    return w.end() <= 0x7fffffff;  // a chunk holds at most 2^31 - 1 bytes
}

}  // namespace

std::optional<QByteArray> PngWriter::encoded(const QImage& image, Options options) {
    if (image.isNull()) return std::nullopt;
    Source s;
    s.opaque = ImageRows::isOpaque(image);
    s.image =
        s.opaque ? ImageRows::rgbReadable(image) : image.convertToFormat(QImage::Format_RGBA8888);
    if (s.image.isNull()) return std::nullopt;
    s.stride = 1 + qsizetype(s.image.width()) * (s.opaque ? 3 : 4);
    const qsizetype rowBytes = s.stride * s.image.height();
    QByteArray filtered = freshBytes(rowBytes);
    QList<Band> bands = splitRows(s, reinterpret_cast<uchar*>(filtered.data()),
                                  bandCount(rowBytes, s.image.height(), options.bands));

    qsizetype room = 0;
    for (const Band& b : bands) room += b.room;
    const qsizetype iccRoom = image.colorSpace().iccProfile().size() + 1024;
    QByteArray out = freshBytes(8 + 25 + 12 + iccRoom + 12 + 2 + room + 4 + 12);
    ChunkWriter w(out);
    writeHeader(w, s.image, s.opaque);
    if (!writeColorSpace(w, image, options.level)) return std::nullopt;
    // Each band's slot starts where the data would go, after the IDAT and zlib headers.
    qsizetype slot = w.position() + 8 + 2;
    for (Band& b : bands) b.out = reinterpret_cast<uchar*>(out.data()) + slot, slot += b.room;
    shareWork(int(bands.size()), [&](int i) { compressBand(s, options.level, bands[i]); });
    if (!writeImageData(w, bands, s.stride)) return std::nullopt;
    w.begin("IEND");
    w.end();
    out.resize(w.position());
    out.squeeze();  // gives back the pages the slots touched beyond the file
    return out;
}
