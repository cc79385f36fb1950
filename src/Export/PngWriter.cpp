#include "Export/PngWriter.h"

#include <cstring>
#include <memory>

#include <libdeflate.h>
#include <QColorSpace>
#include <QtEndian>

#include "Export/FreshMemory.h"
#include "Export/ImageRows.h"

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

// The filtered scanlines, each led by its filter type byte (1, SUB).
QByteArray filteredRows(const QImage& source, bool opaque) {
    const QImage image =
        opaque ? ImageRows::rgbReadable(source) : source.convertToFormat(QImage::Format_RGBA8888);
    if (image.isNull()) return {};
    const qsizetype stride = 1 + qsizetype(image.width()) * (opaque ? 3 : 4);
    QByteArray rows = freshBytes(stride * image.height());
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = reinterpret_cast<uchar*>(rows.data()) + stride * y;
        line[0] = 1;
        opaque ? filterRgbRow(image, y, line + 1) : filterRgbaRow(image, y, line + 1);
    }
    return rows;
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
    void end() {
        const qsizetype length = m_pos - m_start - 8;
        const quint32 big = qToBigEndian(quint32(length));
        std::memcpy(m_out.data() + m_start, &big, 4);
        u32(quint32(libdeflate_crc32(0, m_out.constData() + m_start + 4, length + 4)));
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

bool writeColorSpace(ChunkWriter& w, const QImage& image, libdeflate_compressor* compressor) {
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
    const size_t size = libdeflate_zlib_compress(compressor, icc.constData(), icc.size(),
                                                 w.dataPointer(), icc.size() + 1024);
    if (size == 0) return false;
    w.advance(qsizetype(size));
    w.end();
    return true;
}

}  // namespace

std::optional<QByteArray> PngWriter::encoded(const QImage& image, int level) {
    if (image.isNull()) return std::nullopt;
    const bool opaque = ImageRows::isOpaque(image);
    const QByteArray rows = filteredRows(image, opaque);
    if (rows.isEmpty()) return std::nullopt;
    Compressor compressor(libdeflate_alloc_compressor(level), &libdeflate_free_compressor);
    if (!compressor) return std::nullopt;

    const qsizetype bound =
        qsizetype(libdeflate_zlib_compress_bound(compressor.get(), rows.size()));
    const qsizetype iccRoom = image.colorSpace().iccProfile().size() + 1024;
    QByteArray out = freshBytes(8 + 25 + 12 + iccRoom + 12 + bound + 12);
    ChunkWriter w(out);
    writeHeader(w, image, opaque);
    if (!writeColorSpace(w, image, compressor.get())) return std::nullopt;
    w.begin("IDAT");
    const size_t size = libdeflate_zlib_compress(compressor.get(), rows.constData(), rows.size(),
                                                 w.dataPointer(), bound);
    // A chunk holds at most 2^31 - 1 bytes.
    if (size == 0 || size > 0x7fffffff) return std::nullopt;
    w.advance(qsizetype(size));
    w.end();
    w.begin("IEND");
    w.end();
    out.resize(w.position());
    return out;
}
