#pragma once

#include <QImage>

// Reading an image's rows as 8-bit RGB for the writers, without converting the whole image
// when its format can be read directly (every format a capture or a composition has).
namespace ImageRows {

// True when every pixel is fully opaque (checked pixel by pixel for formats with alpha).
bool isOpaque(const QImage& image);

// The image itself when visitRgb can read it, else a copy converted to 8-bit RGB.
QImage rgbReadable(const QImage& image);

// Calls put(r, g, b) for each pixel of row y, left to right, of an rgbReadable image.
template <class Put>
void visitRgb(const QImage& image, int y, Put&& put) {
    const int width = image.width();
    switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied: {
            const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < width; ++x)
                put(uchar(row[x] >> 16), uchar(row[x] >> 8), uchar(row[x]));
            return;
        }
        default: {
            // RGB888 (3 bytes a pixel) or the RGBA8888 family (4).
            const int step = image.format() == QImage::Format_RGB888 ? 3 : 4;
            const uchar* row = image.constScanLine(y);
            for (int x = 0; x < width; ++x, row += step) put(row[0], row[1], row[2]);
        }
    }
}

}  // namespace ImageRows
