#pragma once

#include <QImage>
#include <QWindow>

// A window's first frame, sent through the X connection itself rather than Qt's shared-memory
// backing store. Qt's store is shared memory, which gets no huge pages: when it is fresh, this
// process and the X server each fault it in 4 KiB at a time, which on a 4K display costs more
// than the capture and the drawing together. The frame drawn band by band into a small buffer
// and sent as it is shows the same pixels at once; Qt's own first paint follows and leaves them
// as they are.
namespace X11FirstFrame {
// Puts `rows` (RGB32, ARGB32 or ARGB32_Premultiplied, one image pixel per window pixel) into
// `window` from row `top`, on Qt's connection after the requests Qt made so far (the map
// included). Bands go from the top down: the window's pixel layout is read with the first. False,
// with nothing sent, where that layout is not the image's (other depths, byte orders or channel
// masks) or there is no X connection.
bool show(WId window, const QImage& rows, int top);
}  // namespace X11FirstFrame
