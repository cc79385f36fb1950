#include "Annotation/AnnotationRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include <QColorSpace>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include "Annotation/Pixelation.h"

namespace {

// No display is anywhere near this many points across; beyond it a coordinate is garbage, and
// the rasteriser must not be handed values it would overflow on.
constexpr double coordinateLimit = 1e6;

bool usable(const QList<Point>& points) {
    return std::all_of(points.begin(), points.end(), [](const Point& p) {
        return std::isfinite(p.x) && std::isfinite(p.y) && std::abs(p.x) < coordinateLimit &&
               std::abs(p.y) < coordinateLimit;
    });
}

QPointF along(QPointF from, double distance, double angle) {
    return from + QPointF(distance * std::cos(angle), distance * std::sin(angle));
}

void drawArrow(const Annotation& a, QPainter& p) {
    if (a.points.size() != 2) return;
    const QPointF tail = a.points[0].toQt();
    const QPointF tip = a.points[1].toQt();
    const double length = std::hypot(tip.x() - tail.x(), tip.y() - tail.y());
    if (!(length > 1)) return;

    const double w = strokeWidth(a.thickness);
    const double theta = std::atan2(tip.y() - tail.y(), tip.x() - tail.x());
    const double head = std::min(length, 4.5 * w);
    const QColor colour = cgColor(a.color);

    p.setPen(QPen(colour, w, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(tail, along(tip, -0.85 * head, theta));

    const QPointF base = along(tip, -head, theta);
    const QPointF side = 2.2 * w * QPointF(-std::sin(theta), std::cos(theta));
    QPainterPath triangle;
    triangle.setFillRule(Qt::WindingFill);
    triangle.moveTo(tip);
    triangle.lineTo(base + side);
    triangle.lineTo(base - side);
    triangle.closeSubpath();
    p.fillPath(triangle, colour);
}

void drawRectangle(const Annotation& a, QPainter& p) {
    const Rect r = a.boundingRect();
    if (r.width() == 0 && r.height() == 0) return;
    const double w = strokeWidth(a.thickness);
    // The stroke's outer edge lies on the drawn-out rectangle.
    const Rect inset = r.insetBy(w / 2, w / 2);
    if (inset.isNull()) return;
    p.setPen(QPen(cgColor(a.color), w, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRect(inset.toQt());
}

void drawHighlighter(const Annotation& a, QPainter& p) {
    const Rect r = a.boundingRect();
    if (!(r.width() > 0 && r.height() > 0)) return;
    QColor colour = cgColor(a.color);
    colour.setAlphaF(0.42f);
    p.setCompositionMode(QPainter::CompositionMode_Multiply);
    p.fillRect(r.toQt(), colour);
}

QFont textFont(Thickness thickness) {
    QFont font;
    font.setFamilies({QStringLiteral("Inter")});
    font.setStyleHint(QFont::SansSerif);
    // One unit of the view space is one point, so the size is given in units, not device
    // points that would depend on the painted device's resolution.
    font.setPixelSize(int(textSize(thickness)));
    return font;
}

void drawText(const Annotation& a, QPainter& p) {
    if (a.points.isEmpty() || a.text.isEmpty()) return;
    const QPointF anchor = a.points[0].toQt();
    const QFont font = textFont(a.thickness);
    const double ascent = QFontMetricsF(font).ascent();

    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font);
    p.setPen(cgColor(a.color));
    // The anchor is the line's top-left; flip locally at the baseline so glyphs stand upright
    // in the y-up space.
    p.translate(anchor.x(), anchor.y() - ascent);
    p.scale(1, -1);
    p.drawText(QPointF(0, 0), a.text);
}

void drawFreehand(const Annotation& a, QPainter& p) {
    const auto& pts = a.points;
    if (pts.size() < 2) return;
    QPainterPath path(pts[0].toQt());
    if (pts.size() == 2) {
        path.lineTo(pts[1].toQt());
    } else {
        for (qsizetype i = 1; i + 1 < pts.size(); ++i) {
            const QPointF control = pts[i].toQt();
            path.quadTo(control, (control + pts[i + 1].toQt()) / 2);
        }
        path.lineTo(pts.last().toQt());
    }
    p.setPen(QPen(cgColor(a.color), strokeWidth(a.thickness), Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

// The blocks of `area` (anchored at its lower-left corner) that meet `wanted`. Cutting the area
// on block boundaries leaves every block with the very same pixels, so a part computes exactly
// what the whole would show there.
QRect blocksMeeting(const QRect& area, const QRect& wanted, int side) {
    const QRect w = wanted.intersected(area);
    if (w.isEmpty()) return {};
    const int left = area.x() + (w.x() - area.x()) / side * side;
    const int right = std::min(area.x() + area.width(),
                               area.x() + ((w.x() + w.width() - 1 - area.x()) / side + 1) * side);
    const int end = area.y() + area.height();  // rows are counted from this (exclusive) bottom
    const int bottom = end - (end - w.y() - w.height()) / side * side;
    const int top = std::max(area.y(), end - ((end - 1 - w.y()) / side + 1) * side);
    return QRect(left, top, right - left, bottom - top);
}

// The computed part inside an image of the whole area's size, so that it is drawn by the very
// mapping (and sampling) of the whole. The rest is left unset: it lies outside the clip.
QImage placedInWhole(const QImage& part, QPoint offset, QSize whole) {
    QImage out(whole, part.format());
    if (out.isNull()) return {};
    const qsizetype bytes = qsizetype(part.width()) * 4;
    for (int y = 0; y < part.height(); ++y)
        std::memcpy(out.scanLine(offset.y() + y) + qsizetype(offset.x()) * 4, part.constScanLine(y),
                    bytes);
    out.setColorSpace(part.colorSpace());
    return out;
}

void drawPixelate(const Annotation& a, QPainter& p, const QImage& source, Size viewSize,
                  double scale) {
    const Rect r = a.boundingRect();
    if (!(r.width() > 1 && r.height() > 1)) return;
    if (!(std::isfinite(scale) && scale > 0 && scale < 100 &&
          std::abs(viewSize.height) < coordinateLimit))
        return;

    const QRect wanted = pixelRect(r, scale, viewSize.height);
    const QRect area = wanted.intersected(source.rect());
    if (area.width() < 1 || area.height() < 1) return;

    const int side = std::max(1, roundHalfAway(scale * pixelBlock(a.thickness)));
    // Under a clip (a live repaint of part of the overlay) only the blocks that can show are
    // computed; a whole pixelation costs far more than one frame of pointer movement.
    QRect part = area;
    if (p.hasClipping()) {
        const Rect clip = Rect::fromQt(p.clipBoundingRect());
        if (clip.isEmpty() || std::abs(clip.minX()) > coordinateLimit ||
            std::abs(clip.maxY()) > coordinateLimit)
            return;
        // A margin of two pixels covers the sampling of scaled edges.
        const QRect clipPixels = pixelRect(clip, scale, viewSize.height).adjusted(-2, -2, 2, 2);
        part = blocksMeeting(area, clipPixels, side);
        if (part.isEmpty()) return;
    }
    QImage blocks = Pixelation::pixelated(source, part, side);
    if (blocks.isNull()) return;

    // Inside the capture the blocks fill the annotation's rectangle; a rectangle reaching past
    // the capture gets its blocks where their pixels came from.
    Rect target = r;
    if (area != wanted) {
        target = Rect(area.x() / scale, viewSize.height - (area.y() + area.height()) / scale,
                      area.width() / scale, area.height() / scale);
    }
    // A part is drawn on its own where the mapping puts every pixel on a device pixel (any
    // rectangle drawn with the pointer); otherwise it is placed in an image of the whole so
    // that it is sampled exactly as the whole would be.
    Rect drawn = target;
    if (part != area) {
        const auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-6; };
        const bool onPixels = whole(target.minX() * scale) && whole(target.maxY() * scale) &&
                              std::abs(target.width() * scale - area.width()) < 1e-6 &&
                              std::abs(target.height() * scale - area.height()) < 1e-6;
        if (onPixels) {
            drawn = Rect(target.minX() + (part.x() - area.x()) / scale,
                         target.maxY() - (part.y() - area.y() + part.height()) / scale,
                         part.width() / scale, part.height() / scale);
        } else {
            blocks = placedInWhole(blocks, part.topLeft() - area.topLeft(), area.size());
        }
    }
    // Image rows run downwards: flip locally so the top row lands at the rectangle's top.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.translate(drawn.minX(), drawn.maxY());
    p.scale(1, -1);
    p.drawImage(QRectF(0, 0, drawn.width(), drawn.height()), blocks);
}

}  // namespace

AnnotationRenderer::AnnotationRenderer(QImage sourceImage, Size viewSize, double scale)
    : m_sourceImage(std::move(sourceImage)), m_viewSize(viewSize), m_scale(scale) {
}

void AnnotationRenderer::draw(const QList<Annotation>& annotations, QPainter& context) const {
    for (const Annotation& annotation : annotations) {
        if (!usable(annotation.points)) continue;
        context.save();
        context.setRenderHint(QPainter::Antialiasing);
        switch (annotation.kind) {
            case Annotation::Kind::arrow:
                drawArrow(annotation, context);
                break;
            case Annotation::Kind::rectangle:
                drawRectangle(annotation, context);
                break;
            case Annotation::Kind::highlighter:
                drawHighlighter(annotation, context);
                break;
            case Annotation::Kind::text:
                drawText(annotation, context);
                break;
            case Annotation::Kind::pixelate:
                drawPixelate(annotation, context, m_sourceImage, m_viewSize, m_scale);
                break;
            case Annotation::Kind::freehand:
                drawFreehand(annotation, context);
                break;
        }
        context.restore();
    }
}
