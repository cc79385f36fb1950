#include "Base/Geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

Rect Rect::null() {
    const double inf = std::numeric_limits<double>::infinity();
    return Rect(inf, inf, 0, 0);
}

bool Rect::isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }

double Rect::minX() const { return std::min(origin.x, origin.x + size.width); }
double Rect::maxX() const { return std::max(origin.x, origin.x + size.width); }
double Rect::midX() const { return origin.x + size.width / 2; }
double Rect::minY() const { return std::min(origin.y, origin.y + size.height); }
double Rect::maxY() const { return std::max(origin.y, origin.y + size.height); }
double Rect::midY() const { return origin.y + size.height / 2; }

Rect Rect::standardized() const {
    if (isNull()) return *this;
    return Rect(minX(), minY(), width(), height());
}

bool Rect::isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

bool Rect::contains(Point p) const {
    if (isEmpty()) return false;
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& o) const {
    if (isNull() || o.isNull()) return false;
    return o.minX() >= minX() && o.maxX() <= maxX() && o.minY() >= minY() && o.maxY() <= maxY();
}

Rect Rect::insetBy(double dx, double dy) const {
    if (isNull()) return *this;
    Rect s = standardized();
    Rect r(s.origin.x + dx, s.origin.y + dy, s.size.width - 2 * dx, s.size.height - 2 * dy);
    if (r.size.width < 0 || r.size.height < 0) return null();
    return r;
}

Rect Rect::unionWith(const Rect& o) const {
    if (isNull()) return o.standardized();
    if (o.isNull()) return standardized();
    const double x0 = std::min(minX(), o.minX());
    const double y0 = std::min(minY(), o.minY());
    const double x1 = std::max(maxX(), o.maxX());
    const double y1 = std::max(maxY(), o.maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

Rect Rect::intersection(const Rect& o) const {
    if (isNull() || o.isNull()) return null();
    const double x0 = std::max(minX(), o.minX());
    const double y0 = std::max(minY(), o.minY());
    const double x1 = std::min(maxX(), o.maxX());
    const double y1 = std::min(maxY(), o.maxY());
    if (x1 < x0 || y1 < y0) return null();
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

bool Rect::intersects(const Rect& o) const {
    const Rect r = intersection(o);
    return !r.isNull() && !(r.size.width == 0 && r.size.height == 0 && (isEmpty() || o.isEmpty()));
}

Rect Rect::offsetBy(double dx, double dy) const {
    if (isNull()) return *this;
    return Rect(origin.x + dx, origin.y + dy, size.width, size.height);
}

Rect Rect::spanning(Point a, Point b) {
    return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
}

QRectF Rect::toQt() const {
    const Rect s = standardized();
    return QRectF(s.origin.x, s.origin.y, s.size.width, s.size.height);
}

Rect Rect::fromQt(const QRectF& r) { return Rect(r.x(), r.y(), r.width(), r.height()); }

int roundHalfAway(double v) {
    if (!std::isfinite(v)) return 0;
    const double r = std::round(v);  // std::round already rounds halves away from zero
    if (r > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (r < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

QRect pixelRect(const Rect& viewRect, double scale, double viewHeight) {
    const Rect r = viewRect.standardized();
    return QRect(roundHalfAway(scale * r.minX()), roundHalfAway(scale * (viewHeight - r.maxY())),
                 roundHalfAway(scale * r.width()), roundHalfAway(scale * r.height()));
}
