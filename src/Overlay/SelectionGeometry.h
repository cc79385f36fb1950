#pragma once

#include <optional>

#include "Base/Geometry.h"
#include "Overlay/SelectionHandle.h"

// Pure rectangle rules of the selection, in view space (points, y up). No state.
namespace SelectionGeometry {

// The first handle (in hit-test order) whose square zone of half-side `tolerance` holds the
// point; zones reach outside the rectangle as well as inside.
std::optional<SelectionHandle> handle(Point at, const Rect& of, double tolerance);

// A new selection dragged out from `origin` to `pointer`; the view clamps both points first.
Rect rectFromPoints(Point origin, Point pointer);

// The selection moved so that its origin is `pointer - grabOffset`, kept wholly inside
// `bounds` (the right/top clamp wins when the selection is larger than the bounds).
Rect moved(const Rect& selection, Point pointer, Point grabOffset, const Rect& bounds);

// The point clamped into the rectangle (closed on every side).
Point clamped(Point p, const Rect& into);

}  // namespace SelectionGeometry
