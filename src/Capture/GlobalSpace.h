#pragma once

#include <functional>

#include <QPointF>
#include <QRectF>

#include "Base/Geometry.h"

class QScreen;

// The one place where Qt's global coordinates (y down, origin at the virtual desktop's top-left)
// and the global screen space of the logic (points, origin at the primary display's lower-left
// corner, y up) meet. `primary` is the primary screen's Qt geometry.
namespace GlobalSpace {
Point fromQt(QPointF p, const QRectF& primary);
Rect fromQt(const QRectF& r, const QRectF& primary);
QPointF toQt(Point p, const QRectF& primary);
QRectF toQt(const Rect& r, const QRectF& primary);
// The primary screen's Qt geometry now (null without screens). Main thread only.
QRectF primaryGeometry();
// The Qt screen whose geometry is this frame (global screen space), or null. Main thread only.
QScreen* screenAt(const Rect& frame);

// Where the pointer is, in Qt's global coordinates: the centre of the pixel under it, so that
// it lies inside the display showing that pixel. Main thread only.
using PointerLocator = std::function<QPointF()>;
// Qt's own pointer, a whole point: exact where a point is a pixel, and only to the nearest
// point on a scaled display.
QPointF qtPointer();
}  // namespace GlobalSpace
