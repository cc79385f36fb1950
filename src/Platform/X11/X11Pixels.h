#pragma once

#include <QPointF>
#include <QSize>
#include <QWindow>

// What Qt rounds to whole points on a scaled display, taken from the X server in pixels.
// Both work on Qt's own X connection, on the main thread; without one (another platform) the
// pointer is Qt's and windows are left as they are.
namespace X11Pixels {
// The centre of the root pixel under the pointer, in Qt's global coordinates of the screen
// showing that pixel: always inside that screen, also on its last column or row at scale 2.
QPointF pointer();
// Gives a window exactly this size in pixels, keeping its position.
void fitWindow(WId window, QSize pixels);
}  // namespace X11Pixels
