#pragma once

#include <functional>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QWidget>

// Helpers for tests that check drawing by probing pixels.
namespace ImageProbe {

// The widget painted alone (children included) onto a transparent image at the given pixel
// ratio.
inline QImage render(QWidget& widget, double pixelRatio = 1) {
    QImage image((QSizeF(widget.size()) * pixelRatio).toSize(),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    // Through a painter: render() straight onto an image ignores its pixel ratio.
    QPainter painter(&image);
    widget.render(&painter);
    painter.end();
    return image;
}

// Number of pixels of the (pixel) rectangle for which the predicate holds.
inline int count(const QImage& image, const QRect& area,
                 const std::function<bool(const QColor&)>& predicate) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (predicate(image.pixelColor(x, y))) ++n;
    return n;
}

inline bool near(const QColor& a, const QColor& b, int tolerance = 3) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance &&
           std::abs(a.alpha() - b.alpha()) <= tolerance;
}

}  // namespace ImageProbe
