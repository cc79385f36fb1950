#include "Overlay/SelectionHandle.h"

#include <algorithm>
#include <cmath>

namespace {

Rect fromEdges(double x0, double x1, double y0, double y1) {
    return Rect(std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0), std::abs(y1 - y0));
}

}  // namespace

const QList<SelectionHandle>& allSelectionHandles() {
    using enum SelectionHandle;
    static const QList<SelectionHandle> all{topLeft,     top,    topRight,   right,
                                            bottomRight, bottom, bottomLeft, left};
    return all;
}

Point position(SelectionHandle handle, const Rect& rect) {
    const Rect r = rect.standardized();
    switch (handle) {
        case SelectionHandle::topLeft:
            return {r.minX(), r.maxY()};
        case SelectionHandle::top:
            return {r.midX(), r.maxY()};
        case SelectionHandle::topRight:
            return {r.maxX(), r.maxY()};
        case SelectionHandle::right:
            return {r.maxX(), r.midY()};
        case SelectionHandle::bottomRight:
            return {r.maxX(), r.minY()};
        case SelectionHandle::bottom:
            return {r.midX(), r.minY()};
        case SelectionHandle::bottomLeft:
            return {r.minX(), r.minY()};
        case SelectionHandle::left:
            return {r.minX(), r.midY()};
    }
    return {};
}

Rect resize(SelectionHandle handle, const Rect& rect, Point p) {
    const double minX = rect.minX(), maxX = rect.maxX(), minY = rect.minY(), maxY = rect.maxY();
    switch (handle) {
        case SelectionHandle::topLeft:
            return fromEdges(p.x, maxX, p.y, minY);
        case SelectionHandle::top:
            return fromEdges(minX, maxX, p.y, minY);
        case SelectionHandle::topRight:
            return fromEdges(p.x, minX, p.y, minY);
        case SelectionHandle::right:
            return fromEdges(p.x, minX, minY, maxY);
        case SelectionHandle::bottomRight:
            return fromEdges(p.x, minX, p.y, maxY);
        case SelectionHandle::bottom:
            return fromEdges(minX, maxX, p.y, maxY);
        case SelectionHandle::bottomLeft:
            return fromEdges(p.x, maxX, p.y, maxY);
        case SelectionHandle::left:
            return fromEdges(p.x, maxX, minY, maxY);
    }
    return rect.standardized();
}

bool isVerticalEdge(SelectionHandle handle) {
    return handle == SelectionHandle::top || handle == SelectionHandle::bottom;
}

bool isHorizontalEdge(SelectionHandle handle) {
    return handle == SelectionHandle::left || handle == SelectionHandle::right;
}
