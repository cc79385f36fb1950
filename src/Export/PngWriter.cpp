#include "Export/PngWriter.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <isa-l/igzip_lib.h>
#include <zlib.h>
#include <QColorSpace>
#include <QThread>
#include <QtEndian>

#include "Export/FreshMemory.h"
#include "Export/ImageRows.h"
#include "Export/PngFilter.h"
#include "Export/WorkSharing.h"

namespace {

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
        u32(quint32(crc32_z(0, reinterpret_cast<const Bytef*>(m_out.constData()) + m_start + 4,
                            size_t(length + 4))));
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

bool writeColorSpace(ChunkWriter& w, const QImage& image) {
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
    uLongf size = compressBound(uLong(icc.size()));
    if (compress(w.dataPointer(), &size, reinterpret_cast<const Bytef*>(icc.constData()),
                 uLong(icc.size())) != Z_OK)
        return false;
    w.advance(qsizetype(size));
    w.end();
    return true;
}

// Rows [firstRow, firstRow + rowCount) filtered and compressed as raw deflate into their own
// slot of the output. A band other than the last ends with a sync flush, on a byte boundary and
// not final, so the next band's stream follows it directly.
struct Band {
    int firstRow = 0;
    int rowCount = 0;
    uchar* out = nullptr;
    qsizetype room = 0;
    qsizetype size = 0;  // 0 when compression failed
    quint32 adler = 1;
    bool last = false;
};

struct Source {
    QImage image;
    bool opaque = true;
    int pixelBytes = 3;
    int rowBytes = 0;      // pixels only
    qsizetype stride = 0;  // filter byte + pixels
};

// Row y as the PNG holds it: the image's own bytes when they already are, else converted into
// `scratch`.
const uchar* pngRow(const Source& s, int y, uchar* scratch) {
    const auto format = s.image.format();
    if (format == (s.opaque ? QImage::Format_RGB888 : QImage::Format_RGBA8888))
        return s.image.constScanLine(y);
    uchar* out = scratch;
    ImageRows::visitRgb(s.image, y, [&](uchar r, uchar g, uchar b) {
        out[0] = r, out[1] = g, out[2] = b;
        out += 3;
    });
    return scratch;
}

qsizetype levelBufferSize(int level) {
    switch (level) {
        case 1:
            return ISAL_DEF_LVL1_DEFAULT;
        case 2:
            return ISAL_DEF_LVL2_DEFAULT;
        case 3:
            return ISAL_DEF_LVL3_DEFAULT;
        default:
            return 0;
    }
}

// Filtered rows are compressed a chunk at a time, so that they stay in cache between the two.
constexpr qsizetype chunkBytes = 128 * 1024;

struct BandWork {
    std::unique_ptr<isal_zstream> stream = std::make_unique<isal_zstream>();
    QByteArray levelBuffer, rows, chunk;
};

void compressBand(const Source& s, int level, Band& band) {
    BandWork work;
    isal_zstream& z = *work.stream;
    isal_deflate_init(&z);
    work.levelBuffer = QByteArray(levelBufferSize(level), Qt::Uninitialized);
    z.level = uint32_t(level);
    z.level_buf = reinterpret_cast<uint8_t*>(work.levelBuffer.data());
    z.level_buf_size = uint32_t(work.levelBuffer.size());
    z.gzip_flag = IGZIP_DEFLATE;
    z.next_out = band.out;
    if (band.room > qsizetype(UINT32_MAX)) return;
    z.avail_out = uint32_t(band.room);

    const int rowsPerChunk = int(std::max<qsizetype>(1, chunkBytes / s.stride));
    work.chunk = QByteArray(s.stride * std::min(rowsPerChunk, band.rowCount), Qt::Uninitialized);
    work.rows = QByteArray(qsizetype(s.rowBytes) * 2, Qt::Uninitialized);
    uchar* scratch[2] = {reinterpret_cast<uchar*>(work.rows.data()),
                         reinterpret_cast<uchar*>(work.rows.data()) + s.rowBytes};
    int which = 0;
    // Filters look at the row above, even when it belongs to the band before.
    const uchar* above =
        band.firstRow > 0 ? pngRow(s, band.firstRow - 1, scratch[which ^= 1]) : nullptr;
    auto* chunk = reinterpret_cast<uchar*>(work.chunk.data());
    for (int r = 0; r < band.rowCount;) {
        const int rows = std::min(rowsPerChunk, band.rowCount - r);
        for (int k = 0; k < rows; ++k, ++r) {
            const uchar* row = pngRow(s, band.firstRow + r, scratch[which ^= 1]);
            PngFilter::filterRow(row, above, s.rowBytes, s.pixelBytes, chunk + s.stride * k);
            above = row;
        }
        const qsizetype bytes = s.stride * rows;
        band.adler = isal_adler32(band.adler, chunk, uint64_t(bytes));
        const bool end = r == band.rowCount;
        z.next_in = chunk;
        z.avail_in = uint32_t(bytes);
        z.end_of_stream = end && band.last;
        z.flush = end && !band.last ? SYNC_FLUSH : NO_FLUSH;
        // Output that fills the slot may be cut short: the room is far above what deflate needs.
        if (isal_deflate(&z) != COMP_OK || z.avail_in != 0 || z.avail_out == 0) return;
    }
    if (band.last && z.internal_state.state != ZSTATE_END) return;
    band.size = qsizetype(z.total_out);
}

// Bands of at least 1 MiB, a few per core so that a band of hard-to-compress rows does not
// leave the other cores waiting, and of at most 1 GiB, what a band's slot can count.
int bandCount(qsizetype bytes, int rows, int requested) {
    if (requested > 0) return std::min(requested, rows);
    const qsizetype minimum = qsizetype(1) << 20, maximum = qsizetype(1) << 30;
    qsizetype count = std::clamp<qsizetype>(bytes / minimum, 1, 2 * QThread::idealThreadCount());
    count = std::max(count, (bytes + maximum - 1) / maximum);
    return int(std::min<qsizetype>(count, rows));
}

// Deflate's worst case, stored blocks, is 5 bytes per 64 KiB; Huffman blocks of incompressible
// bytes stay well under an eighth more.
qsizetype slotRoom(qsizetype bytes) {
    return bytes + bytes / 8 + 64 * 1024;
}

QList<Band> splitRows(const Source& s, int count) {
    QList<Band> bands(count);
    const int height = s.image.height();
    int row = 0;
    for (int i = 0; i < count; ++i) {
        Band& b = bands[i];
        b.firstRow = row;
        b.rowCount = height / count + (i < height % count ? 1 : 0);
        b.room = slotRoom(s.stride * b.rowCount);
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
    s.pixelBytes = s.opaque ? 3 : 4;
    s.rowBytes = s.image.width() * s.pixelBytes;
    s.stride = 1 + qsizetype(s.rowBytes);
    const int level = std::clamp(options.level, ISAL_DEF_MIN_LEVEL, ISAL_DEF_MAX_LEVEL);
    QList<Band> bands =
        splitRows(s, bandCount(s.stride * s.image.height(), s.image.height(), options.bands));

    qsizetype room = 0;
    for (const Band& b : bands) room += b.room;
    const qsizetype iccRoom = image.colorSpace().iccProfile().size() + 1024;
    QByteArray out = freshBytes(8 + 25 + 12 + iccRoom + 12 + 2 + room + 4 + 12);
    ChunkWriter w(out);
    writeHeader(w, s.image, s.opaque);
    if (!writeColorSpace(w, image)) return std::nullopt;
    // Each band's slot starts where the data would go, after the IDAT and zlib headers.
    qsizetype slot = w.position() + 8 + 2;
    for (Band& b : bands) b.out = reinterpret_cast<uchar*>(out.data()) + slot, slot += b.room;
    shareWork(int(bands.size()), [&](int i) { compressBand(s, level, bands[i]); });
    if (!writeImageData(w, bands, s.stride)) return std::nullopt;
    w.begin("IEND");
    w.end();
    out.resize(w.position());
    out.squeeze();  // gives back the pages the slots touched beyond the file
    return out;
}
