#pragma once

#include <QList>

#include "Base/Geometry.h"

// The eight resize handles of a selection, in hit-test order. "Top" is the edge with the
// larger y (view space is y up).
enum class SelectionHandle { topLeft, top, topRight, right, bottomRight, bottom, bottomLeft, left };

const QList<SelectionHandle>& allSelectionHandles();

// Where the handle sits on the (standardised) rectangle.
Point position(SelectionHandle handle, const Rect& rect);

// The rectangle after dragging the handle to `point`: the handle's edges take the point's
// coordinates, the others stay; the result is standardised, so dragging past the opposite edge
// flips the rectangle. Neither clamped nor held to a minimum size.
Rect resize(SelectionHandle handle, const Rect& rect, Point movingTo);

// True for top and bottom (vertical resize), false otherwise.
bool isVerticalEdge(SelectionHandle handle);
// True for left and right (horizontal resize).
bool isHorizontalEdge(SelectionHandle handle);
