#include "Export/ImageRows.h"

bool ImageRows::isOpaque(const QImage& image) {
    if (!image.hasAlphaChannel()) return true;
    const auto format = image.format();
    const bool alphaInTopByte =
        format == QImage::Format_RGBA8888 || format == QImage::Format_RGBA8888_Premultiplied ||
        format == QImage::Format_ARGB32 || format == QImage::Format_ARGB32_Premultiplied;
    if (!alphaInTopByte) return false;  // written with alpha, which loses nothing
    // In all four, alpha is the top byte of a little-endian 32-bit word.
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
        quint32 all = 0xff000000;
        for (int x = 0; x < image.width(); ++x) all &= row[x];
        if ((all & 0xff000000) != 0xff000000) return false;
    }
    return true;
}

QImage ImageRows::rgbReadable(const QImage& image) {
    switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
        case QImage::Format_RGB888:
        case QImage::Format_RGBX8888:
        case QImage::Format_RGBA8888:
        case QImage::Format_RGBA8888_Premultiplied:
            return image;
        default:
            return image.convertToFormat(QImage::Format_RGB888);
    }
}
