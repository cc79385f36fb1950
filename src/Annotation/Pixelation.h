#pragma once

#include <QImage>
#include <QRect>

namespace Pixelation {

// The pixels of `area` (which must lie inside `source`) coarsened into square blocks of
// `blockSide` pixels anchored at the area's lower-left corner: blocks cut by the top and right
// edges are cut off, and every block is filled with the average colour of its own pixels.
// The result has exactly the area's size; it is null when the area is empty or not inside.
QImage pixelated(const QImage& source, const QRect& area, int blockSide);

}  // namespace Pixelation
