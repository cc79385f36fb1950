#pragma once

#include <QList>

#include "Annotation/Annotation.h"
#include "Capture/ScreenDescriptor.h"

// A finished selection: the capture of the display it was made on, the selection in that
// display's view space (points, origin bottom-left; never empty) and the annotations in drawing
// order.
struct OverlayResult {
    DisplayCapture capture;
    Rect selection;
    QList<Annotation> annotations;
    bool operator==(const OverlayResult&) const = default;
};
