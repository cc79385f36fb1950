#include "Design/TessikMark.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <QPainter>

#include "Design/TessikColor.h"

namespace {

// How much of each side the corner's smoothing takes over (0 = circular corner); 0.6 matches
// the familiar continuous corners of desktop icons.
constexpr double kSmoothing = 0.6;

double radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

QPointF along(QPointF origin, QPointF u, double a, QPointF v = {}, double b = 0) {
    return origin + u * a + v * b;
}

// One smoothed corner at `corner`, arriving along unit direction `u` and leaving along `v`.
// The path's current point must be the corner's start, corner - p·u.
void addCorner(QPainterPath& path, QPointF corner, QPointF u, QPointF v, double r, double p) {
    const double arcMeasure = 90 * (1 - kSmoothing);
    const double arcChord = std::sin(radians(arcMeasure / 2)) * r * std::numbers::sqrt2;
    const double alpha = (90 - arcMeasure) / 2;
    const double beta = 45 * kSmoothing;
    const double c = r * std::tan(radians(alpha / 2)) * std::cos(radians(beta));
    const double d = c * std::tan(radians(beta));
    const double b = (p - arcChord - c - d) / 3;
    const double a = 2 * b;

    const QPointF start = corner - u * p;
    const QPointF arcStart = along(start, u, a + b + c, v, d);
    path.cubicTo(along(start, u, a), along(start, u, a + b), arcStart);

    // The circular part, as one cubic (its sweep is short, so the error is negligible).
    const QPointF arcEnd = along(corner, u, -d, v, p - a - b - c);
    const QPointF centre = corner - u * r + v * r;
    const double k = 4.0 / 3.0 * std::tan(radians(arcMeasure / 4)) * r;
    auto tangent = [&](QPointF point) {
        const QPointF radial = (point - centre) / r;
        QPointF t(-radial.y(), radial.x());
        const QPointF travel = u + v;
        if (t.x() * travel.x() + t.y() * travel.y() < 0) t = -t;
        return t;
    };
    path.cubicTo(arcStart + tangent(arcStart) * k, arcEnd - tangent(arcEnd) * k, arcEnd);

    path.cubicTo(along(corner, v, p - a - b), along(corner, v, p - a), along(corner, v, p));
}

}  // namespace

QPainterPath continuousRoundedRect(const QRectF& rect, double radius) {
    const QRectF r = rect.normalized();
    const double p0 = (1 + kSmoothing) * radius;
    // Corners of a small rectangle shrink so the two of one side never overlap.
    const double p = std::min(p0, std::min(r.width(), r.height()) / 2);
    const double rad = radius * p / std::max(p0, 1e-9);
    QPainterPath path;
    if (r.isEmpty()) return path;
    if (rad <= 0) {
        path.addRect(r);
        return path;
    }
    const QPointF right(1, 0), down(0, 1), left(-1, 0), up(0, -1);
    path.moveTo(r.left() + p, r.top());
    path.lineTo(r.right() - p, r.top());
    addCorner(path, r.topRight(), right, down, rad, p);
    path.lineTo(r.right(), r.bottom() - p);
    addCorner(path, r.bottomRight(), down, left, rad, p);
    path.lineTo(r.left() + p, r.bottom());
    addCorner(path, r.bottomLeft(), left, up, rad, p);
    path.lineTo(r.left(), r.top() + p);
    addCorner(path, r.topLeft(), up, right, rad, p);
    path.closeSubpath();
    return path;
}

TessikMark::TessikMark(bool showsBackground, bool showsSpark, QWidget* parent)
    : QWidget(parent), m_showsBackground(showsBackground), m_showsSpark(showsSpark) {
    setAttribute(Qt::WA_TranslucentBackground);
}

QRectF TessikMark::markSquare(const QRectF& space) {
    const double side = std::min(space.width(), space.height());
    return QRectF(space.center().x() - side / 2, space.center().y() - side / 2, side, side);
}

QPainterPath TessikMark::bracketsPath(const QRectF& square) {
    const double u = square.width() / 100;
    auto at = [&](double x, double y) { return square.topLeft() + QPointF(x * u, y * u); };
    QPainterPath path;
    path.moveTo(at(36, 26));
    path.lineTo(at(26, 26));
    path.lineTo(at(26, 74));
    path.lineTo(at(36, 74));
    path.moveTo(at(64, 26));
    path.lineTo(at(74, 26));
    path.lineTo(at(74, 74));
    path.lineTo(at(64, 74));
    return path;
}

QPainterPath TessikMark::sparkPath(const QRectF& square) {
    const double u = square.width() / 100;
    auto at = [&](double x, double y) { return square.topLeft() + QPointF(x * u, y * u); };
    QPainterPath path;
    path.moveTo(at(50, 34));
    path.cubicTo(at(51.5, 45), at(55, 48.5), at(66, 50));
    path.cubicTo(at(55, 51.5), at(51.5, 55), at(50, 66));
    path.cubicTo(at(48.5, 55), at(45, 51.5), at(34, 50));
    path.cubicTo(at(45, 48.5), at(48.5, 45), at(50, 34));
    path.closeSubpath();
    return path;
}

QPainterPath TessikMark::tilePath(const QRectF& square) {
    const double u = square.width() / 100;
    const QRectF tile(square.center().x() - 46 * u, square.center().y() - 46 * u, 92 * u, 92 * u);
    return continuousRoundedRect(tile, 22 * u);
}

void TessikMark::paint(QPainter& painter, const QRectF& space, bool showsBackground,
                       bool showsSpark) {
    const QRectF square = markSquare(space);
    const double u = square.width() / 100;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (showsBackground) painter.fillPath(tilePath(square), TessikColor::ink());
    QPen pen(TessikColor::cream(), strokeWidthUnits * u, Qt::SolidLine, Qt::RoundCap,
             Qt::RoundJoin);
    pen.setMiterLimit(10);
    painter.strokePath(bracketsPath(square), pen);
    if (showsSpark) {
        QPainterPath spark = sparkPath(square);
        spark.setFillRule(Qt::WindingFill);
        painter.fillPath(spark, TessikColor::accent());
    }
    painter.restore();
}

void TessikMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), m_showsBackground, m_showsSpark);
}
