#include "Platform/Wayland/PortalPngReader.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <libdeflate.h>

#include "Export/FreshMemory.h"

namespace PortalPngReader {

namespace {

quint32 be32(const uchar* p) {
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

struct Header {
    int width = 0;
    int height = 0;
    int channels = 0;  // 3 (RGB) or 4 (RGBA)
};

// The IHDR fields this reader handles, and the IDAT chunks' data joined.
std::optional<Header> parse(const QByteArray& png, QByteArray& idat, bool withData) {
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    const auto* p = reinterpret_cast<const uchar*>(png.constData());
    const qsizetype size = png.size();
    if (size < 8 + 25 || std::memcmp(p, signature, 8) != 0) return std::nullopt;
    std::optional<Header> header;
    for (qsizetype at = 8; at + 12 <= size;) {
        const quint32 length = be32(p + at);
        const uchar* type = p + at + 4;
        if (length > quint32(size - at - 12)) return std::nullopt;
        const uchar* data = p + at + 8;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            // 8 bits, colour type 2 or 6, deflate, adaptive filters, no interlace.
            if (length != 13 || data[8] != 8 || (data[9] != 2 && data[9] != 6) || data[10] ||
                data[11] || data[12])
                return std::nullopt;
            header = Header{int(be32(data)), int(be32(data + 4)), data[9] == 6 ? 4 : 3};
        } else if (withData && std::memcmp(type, "IDAT", 4) == 0) {
            idat.append(reinterpret_cast<const char*>(data), qsizetype(length));
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            return header;
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            return std::nullopt;
        }
        at += 12 + qsizetype(length);
    }
    return std::nullopt;
}

uchar paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uchar(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes one row's filter in place; `previous` is the row above, already unfiltered (zeros for
// the first row).
bool unfilter(uchar filter, uchar* row, const uchar* previous, qsizetype length, int bpp) {
    switch (filter) {
        case 0:
            return true;
        case 1:
            for (qsizetype i = bpp; i < length; ++i) row[i] = uchar(row[i] + row[i - bpp]);
            return true;
        case 2:
            for (qsizetype i = 0; i < length; ++i) row[i] = uchar(row[i] + previous[i]);
            return true;
        case 3:
            for (qsizetype i = 0; i < bpp; ++i) row[i] = uchar(row[i] + previous[i] / 2);
            for (qsizetype i = bpp; i < length; ++i)
                row[i] = uchar(row[i] + (row[i - bpp] + previous[i]) / 2);
            return true;
        case 4:
            for (qsizetype i = 0; i < bpp; ++i) row[i] = uchar(row[i] + previous[i]);
            for (qsizetype i = bpp; i < length; ++i)
                row[i] = uchar(row[i] + paeth(row[i - bpp], previous[i], previous[i - bpp]));
            return true;
        default:
            return false;
    }
}

void toRgb32(const uchar* row, QRgb* out, int width, int channels) {
    for (int x = 0; x < width; ++x, row += channels) out[x] = qRgb(row[0], row[1], row[2]);
}

}  // namespace

std::optional<QSize> handledSize(const QByteArray& png) {
    QByteArray idat;
    const auto header = parse(png, idat, false);
    // The limit guards the sizes below; no display layout comes near it.
    if (!header || header->width <= 0 || header->height <= 0 ||
        qint64(header->width) * header->height > (qint64(1) << 28))
        return std::nullopt;
    return QSize(header->width, header->height);
}

bool decode(const QByteArray& png, QByteArray& inflated, uchar* bits, qsizetype stride) {
    QByteArray idat;
    const auto header = parse(png, idat, true);
    if (!header || !handledSize(png)) return false;
    const int width = header->width, height = header->height, bpp = header->channels;
    const qsizetype rowBytes = qsizetype(width) * bpp;
    const qsizetype rawStride = rowBytes + 1;
    const qsizetype rawSize = rawStride * height;
    if (inflated.size() < rawSize) inflated = freshBytes(rawSize);
    auto* raw = reinterpret_cast<uchar*>(inflated.data());
    std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
        libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
    size_t produced = 0;
    if (!inflater ||
        libdeflate_zlib_decompress(inflater.get(), idat.constData(), size_t(idat.size()), raw,
                                   size_t(rawSize), &produced) != LIBDEFLATE_SUCCESS ||
        produced != size_t(rawSize))
        return false;
    const std::vector<uchar> zeros(size_t(rowBytes), 0);
    const uchar* previous = zeros.data();
    for (int y = 0; y < height; ++y) {
        uchar* row = raw + qsizetype(y) * rawStride;
        if (!unfilter(row[0], row + 1, previous, rowBytes, bpp)) return false;
        toRgb32(row + 1, reinterpret_cast<QRgb*>(bits + y * stride), width, bpp);
        previous = row + 1;
    }
    return true;
}

std::optional<QImage> read(const QByteArray& png) {
    const auto size = handledSize(png);
    if (!size) return std::nullopt;
    QImage image(*size, QImage::Format_RGB32);
    QByteArray inflated;
    if (image.isNull() || !decode(png, inflated, image.bits(), image.bytesPerLine()))
        return std::nullopt;
    return image;
}

}  // namespace PortalPngReader
