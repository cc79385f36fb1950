#include "Annotation/Pixelation.h"

#include <algorithm>
#include <array>
#include <vector>

#include <QColorSpace>

namespace {

using Sums = std::array<quint64, 4>;

// Reads the area without copying the source when it already is a 32-bit format whose channels
// can be averaged byte by byte (premultiplied or opaque); anything else is converted once.
QImage readable(const QImage& source, const QRect& area) {
    const auto format = source.format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied ||
        format == QImage::Format_RGBX8888 || format == QImage::Format_RGBA8888_Premultiplied) {
        const uchar* first = source.constScanLine(area.y()) + area.x() * 4;
        return QImage(first, area.width(), area.height(), source.bytesPerLine(), format);
    }
    return source.copy(area).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Adds one row's pixels to the sums of its blocks, a block at a time so the inner loop is plain.
void accumulate(const quint32* row, int width, int side, std::vector<Sums>& sums) {
    for (size_t b = 0; b < sums.size(); ++b) {
        const int end = std::min(width, int(b + 1) * side);
        quint32 c0 = 0, c1 = 0, c2 = 0, c3 = 0;  // a row of one block stays far below 2^32 / 255
        for (int x = int(b) * side; x < end; ++x) {
            const quint32 p = row[x];
            c0 += p & 0xff;
            c1 += (p >> 8) & 0xff;
            c2 += (p >> 16) & 0xff;
            c3 += p >> 24;
        }
        sums[b][0] += c0, sums[b][1] += c1, sums[b][2] += c2, sums[b][3] += c3;
    }
}

quint32 average(const Sums& s, quint64 count) {
    quint32 p = 0;
    for (int c = 0; c < 4; ++c) p |= quint32((s[c] + count / 2) / count) << (8 * c);
    return p;
}

// Fills rows [top, bottom) of the result with the averages of one band of blocks.
void fillBand(QImage& out, int top, int bottom, int side, const std::vector<Sums>& sums) {
    const int width = out.width();
    std::vector<quint32> colours(sums.size());
    for (size_t b = 0; b < sums.size(); ++b) {
        const int blockWidth = std::min(side, width - int(b) * side);
        colours[b] = average(sums[b], quint64(blockWidth) * quint64(bottom - top));
    }
    for (int y = top; y < bottom; ++y) {
        auto* row = reinterpret_cast<quint32*>(out.scanLine(y));
        for (size_t b = 0; b < colours.size(); ++b) {
            const int begin = int(b) * side;
            std::fill(row + begin, row + std::min(width, begin + side), colours[b]);
        }
    }
}

}  // namespace

QImage Pixelation::pixelated(const QImage& source, const QRect& area, int blockSide) {
    if (area.isEmpty() || !source.rect().contains(area) || blockSide < 1) return {};
    const QImage in = readable(source, area);
    QImage out(area.size(), in.format());
    if (in.isNull() || out.isNull()) return {};

    const int side = blockSide;
    const int width = area.width();
    const int height = area.height();
    std::vector<Sums> sums((width + side - 1) / side);
    // Bands are counted from the bottom row, so the one cut short is the top one.
    for (int bottom = height; bottom > 0; bottom -= side) {
        const int top = std::max(0, bottom - side);
        std::fill(sums.begin(), sums.end(), Sums{});
        for (int y = top; y < bottom; ++y)
            accumulate(reinterpret_cast<const quint32*>(in.constScanLine(y)), width, side, sums);
        fillBand(out, top, bottom, side, sums);
    }
    out.setColorSpace(source.colorSpace());
    return out;
}
