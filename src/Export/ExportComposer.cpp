#include "Export/ExportComposer.h"

#include <algorithm>
#include <cmath>

#include <QColorSpace>
#include <QPainter>

#include "Annotation/AnnotationRenderer.h"
#include "Base/Localization.h"
#include "Export/FreshMemory.h"

namespace ExportComposer {

QString Failure::description() const {
    switch (kind) {
        case Case::emptySelection:
            return localized("La sélection est vide.");
        case Case::outsideCapture:
            return localized("La sélection est en dehors de la capture.");
        case Case::contextUnavailable:
            return localized("Impossible de préparer l'image.");
    }
    return {};
}

namespace {

constexpr auto outputFormat = QImage::Format_RGBA8888_Premultiplied;

// The selection's pixels inside the image: each edge rounded to the nearest pixel, halves away
// from zero, then cut to the image. Worked out in doubles so no coordinate can overflow.
std::optional<QRect> cropRect(const Rect& selection, double scale, double viewHeight,
                              QSize imageSize) {
    const double x = std::round(scale * selection.minX());
    const double y = std::round(scale * (viewHeight - selection.maxY()));
    const double w = std::round(scale * selection.width());
    const double h = std::round(scale * selection.height());
    const double left = std::max(x, 0.0);
    const double top = std::max(y, 0.0);
    const double right = std::min(x + w, double(imageSize.width()));
    const double bottom = std::min(y + h, double(imageSize.height()));
    if (!(right - left >= 1 && bottom - top >= 1)) return std::nullopt;
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

// The crop converted straight into the output format. A 32-bit capture (what the capture
// service gives) is read in place and swizzled row by row into fresh memory, so the output is
// the only copy made; anything else goes through Qt's conversion.
QImage croppedCopy(const QImage& image, const QRect& crop) {
    const auto format = image.format();
    const bool opaque = format == QImage::Format_RGB32;
    if (!opaque && format != QImage::Format_ARGB32_Premultiplied)
        return image.copy(crop).convertToFormat(outputFormat);
    QImage output = freshImage(crop.size(), outputFormat);
    if (output.isNull()) return {};
    const quint32 alpha = opaque ? 0xff000000 : 0;
    for (int y = 0; y < crop.height(); ++y) {
        const auto* in =
            reinterpret_cast<const quint32*>(image.constScanLine(crop.y() + y)) + crop.x();
        auto* out = reinterpret_cast<quint32*>(output.scanLine(y));
        // 0xAARRGGBB words to R, G, B, A bytes: swap red and blue.
        for (int x = 0; x < crop.width(); ++x) {
            const quint32 p = in[x];
            out[x] = (p & 0xff00ff00) | ((p >> 16) & 0xff) | ((p & 0xff) << 16) | alpha;
        }
    }
    return output;
}

bool finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

}  // namespace

std::expected<QImage, Failure> compose(const DisplayCapture& capture, const Rect& selection,
                                       const QList<Annotation>& annotations) {
    const Rect sel = selection.standardized();
    if (!(sel.width() >= 1 && sel.height() >= 1)) return std::unexpected(Failure::emptySelection());

    const double scale = capture.screen.scale;
    const Size viewSize{capture.screen.frame.width(), capture.screen.frame.height()};
    if (!finite({sel.minX(), sel.minY(), sel.width(), sel.height(), scale, viewSize.height}) ||
        !(scale > 0))
        return std::unexpected(Failure::outsideCapture());

    const auto crop = cropRect(sel, scale, viewSize.height, capture.image.size());
    if (!crop) return std::unexpected(Failure::outsideCapture());

    QImage output = croppedCopy(capture.image, *crop);
    if (output.isNull() || output.size() != crop->size())
        return std::unexpected(Failure::contextUnavailable());
    output.setColorSpace(QColorSpace::SRgb);
    // A capture tagged with its display's pixel ratio must not make the painter scale again.
    output.setDevicePixelRatio(1);
    if (annotations.isEmpty()) return output;

    QPainter painter;
    if (!painter.begin(&output)) return std::unexpected(Failure::contextUnavailable());
    // One unit is one view point, anchored to the capture's own pixel grid (not to the
    // unrounded selection), so every annotation lands on the pixels it was drawn over, also
    // when the selection was rounded or cut at the capture's edge.
    painter.setTransform(
        QTransform(scale, 0, 0, -scale, -crop->x(), scale * viewSize.height - crop->y()));
    painter.setClipRect(sel.toQt());
    AnnotationRenderer(capture.image, viewSize, scale).draw(annotations, painter);
    painter.end();
    return output;
}

}  // namespace ExportComposer
