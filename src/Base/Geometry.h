#pragma once

#include <cmath>

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSizeF>

// Points and rectangles of the logic, in points (double precision). Rectangles follow the
// desktop-geometry convention: a negative size is allowed and "standardised" flips it; min/max
// are of the standardised rectangle; containment is half-open; a null rectangle (no area at all,
// not even a position) is what an empty intersection gives.

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
    QPointF toQt() const { return {x, y}; }
    static Point fromQt(QPointF p) { return {p.x(), p.y()}; }
};

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
    QSizeF toQt() const { return {width, height}; }
};

struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}
    Rect(Point o, Size s) : origin(o), size(s) {}

    bool operator==(const Rect&) const = default;

    static Rect null();
    bool isNull() const;

    double minX() const;
    double midX() const;
    double maxX() const;
    double minY() const;
    double midY() const;
    double maxY() const;
    double width() const { return std::abs(size.width); }
    double height() const { return std::abs(size.height); }

    Rect standardized() const;
    // Null, or zero width or height.
    bool isEmpty() const;
    // Half-open: [minX, maxX) x [minY, maxY).
    bool contains(Point p) const;
    bool contains(const Rect& other) const;
    Rect insetBy(double dx, double dy) const;
    Rect unionWith(const Rect& other) const;
    // Null when the two do not overlap; touching edges give a zero-size rectangle.
    Rect intersection(const Rect& other) const;
    bool intersects(const Rect& other) const;
    Rect offsetBy(double dx, double dy) const;

    // Smallest rectangle containing both points.
    static Rect spanning(Point a, Point b);

    QRectF toQt() const;
    static Rect fromQt(const QRectF& r);
};

// Nearest integer, halves away from zero.
int roundHalfAway(double v);

// A view rectangle (points, y up, origin bottom-left) of a display with the given scale and
// height in points, as the pixel rectangle of its capture (y down, origin top-left).
QRect pixelRect(const Rect& viewRect, double scale, double viewHeight);
