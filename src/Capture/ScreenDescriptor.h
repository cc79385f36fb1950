#pragma once

#include <optional>

#include <QImage>
#include <QList>

#include "Base/Geometry.h"

// One display: its id (the key the capture service finds it by), its frame in global screen
// space (points, origin at the primary display's lower-left corner, y up) and its scale
// (pixels per point).
struct ScreenDescriptor {
    quint32 displayID = 0;
    Rect frame;
    double scale = 1;
    bool operator==(const ScreenDescriptor&) const = default;

    struct Entry;

    // The descriptor of the first screen (platform order) whose frame holds the point
    // (half-open); if none does, that of the main screen at `mainIndex`. A screen without a
    // display id gives nothing.
    static std::optional<ScreenDescriptor> under(Point point, const QList<Entry>& screens,
                                                 std::optional<qsizetype> mainIndex);
};

// One platform screen: its frame, and its descriptor when it has a display id.
struct ScreenDescriptor::Entry {
    Rect frame;
    std::optional<ScreenDescriptor> descriptor;
};

// One display's frozen image (image space: pixels, origin top-left), normally
// round(scale x frame size) pixels.
struct DisplayCapture {
    ScreenDescriptor screen;
    QImage image;
    bool operator==(const DisplayCapture& o) const { return screen == o.screen && image == o.image; }
};
