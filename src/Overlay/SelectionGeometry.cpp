#include "Overlay/SelectionGeometry.h"

#include <algorithm>
#include <cmath>

namespace SelectionGeometry {

std::optional<SelectionHandle> handle(Point at, const Rect& of, double tolerance) {
    for (SelectionHandle h : allSelectionHandles()) {
        const Point p = position(h, of);
        if (std::abs(p.x - at.x) <= tolerance && std::abs(p.y - at.y) <= tolerance) return h;
    }
    return std::nullopt;
}

Rect rectFromPoints(Point origin, Point pointer) {
    return Rect::spanning(origin, pointer);
}

Rect moved(const Rect& selection, Point pointer, Point grabOffset, const Rect& bounds) {
    const Rect s = selection.standardized();
    double x = pointer.x - grabOffset.x;
    double y = pointer.y - grabOffset.y;
    // Not std::clamp: when the selection is larger than the bounds the upper limit is below the
    // lower one, and the second clamp must win.
    x = std::min(std::max(x, bounds.minX()), bounds.maxX() - s.width());
    y = std::min(std::max(y, bounds.minY()), bounds.maxY() - s.height());
    return Rect(x, y, s.width(), s.height());
}

Point clamped(Point p, const Rect& into) {
    return {std::min(std::max(p.x, into.minX()), into.maxX()),
            std::min(std::max(p.y, into.minY()), into.maxY())};
}

}  // namespace SelectionGeometry
