#include "Export/TiffWriter.h"

#include <cstring>
#include <limits>
#include <vector>

#include <QtEndian>

#include "Export/FreshMemory.h"
#include "Export/ImageRows.h"

namespace {

enum Type : quint16 { typeShort = 3, typeLong = 4, typeRational = 5 };

struct Entry {
    quint16 tag;
    quint16 type;
    quint32 count;
    quint32
        value;  // the value itself, or the offset of the values when they need more than 4 bytes
};

class LittleEndianWriter {
public:
    explicit LittleEndianWriter(QByteArray& out) : m_data(reinterpret_cast<uchar*>(out.data())) {}
    void u16(quint16 v) { qToLittleEndian(v, m_data + m_pos), m_pos += 2; }
    void u32(quint32 v) { qToLittleEndian(v, m_data + m_pos), m_pos += 4; }
    void entry(const Entry& e) {
        u16(e.tag), u16(e.type), u32(e.count);
        // A single short sits in the first two bytes of the value field.
        if (e.type == typeShort && e.count == 1)
            u16(quint16(e.value)), u16(0);
        else
            u32(e.value);
    }
    uchar* at(qsizetype pos) { return m_data + pos; }
    qsizetype position() const { return m_pos; }

private:
    uchar* m_data;
    qsizetype m_pos = 0;
};

void writePixels(const QImage& image, bool opaque, uchar* out) {
    const qsizetype rowBytes = qsizetype(image.width()) * (opaque ? 3 : 4);
    for (int y = 0; y < image.height(); ++y, out += rowBytes) {
        if (!opaque) {
            std::memcpy(out, image.constScanLine(y), rowBytes);
            continue;
        }
        uchar* p = out;
        ImageRows::visitRgb(image, y, [&p](uchar r, uchar g, uchar b) {
            p[0] = r, p[1] = g, p[2] = b;
            p += 3;
        });
    }
}

}  // namespace

std::optional<QByteArray> TiffWriter::encoded(const QImage& source) {
    if (source.isNull()) return std::nullopt;
    const bool opaque = ImageRows::isOpaque(source);
    const QImage image = opaque ? ImageRows::rgbReadable(source)
                                : source.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull()) return std::nullopt;

    const quint32 samples = opaque ? 3 : 4;
    const quint64 pixelBytes = quint64(image.width()) * image.height() * samples;
    const quint32 entries = opaque ? 13 : 14;
    // Header, directory, then its out-of-line values: bits per sample and two resolutions.
    const quint32 directory = 8;
    const quint32 bitsAt = directory + 2 + entries * 12 + 4;
    const quint32 resolutionAt = bitsAt + 8;
    const quint32 pixelsAt = resolutionAt + 16;
    if (pixelsAt + pixelBytes > std::numeric_limits<quint32>::max()) return std::nullopt;

    QByteArray out = freshBytes(qsizetype(pixelsAt + pixelBytes));
    LittleEndianWriter w(out);
    w.u16(0x4949), w.u16(42), w.u32(directory);
    std::vector<Entry> list{
        {256, typeLong, 1, quint32(image.width())},
        {257, typeLong, 1, quint32(image.height())},
        {258, typeShort, samples, bitsAt},
        {259, typeShort, 1, 1},  // no compression
        {262, typeShort, 1, 2},  // RGB
        {273, typeLong, 1, pixelsAt},
        {277, typeShort, 1, samples},
        {278, typeLong, 1, quint32(image.height())},
        {279, typeLong, 1, quint32(pixelBytes)},
        {282, typeRational, 1, resolutionAt},
        {283, typeRational, 1, resolutionAt + 8},
        {284, typeShort, 1, 1},  // interleaved
        {296, typeShort, 1, 2},  // inches
    };
    if (!opaque) list.push_back({338, typeShort, 1, 1});  // extra sample: associated alpha
    w.u16(quint16(list.size()));
    for (const Entry& e : list) w.entry(e);
    w.u32(0);  // no further directory
    for (quint32 i = 0; i < 4; ++i) w.u16(8);
    w.u32(72), w.u32(1), w.u32(72), w.u32(1);
    writePixels(image, opaque, w.at(pixelsAt));
    return out;
}
