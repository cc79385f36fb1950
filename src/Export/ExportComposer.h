#pragma once

#include <expected>

#include <QImage>
#include <QList>
#include <QString>

#include "Annotation/Annotation.h"
#include "Base/Geometry.h"
#include "Capture/ScreenDescriptor.h"

// Cuts a selection out of a display's frozen capture at full pixel resolution and burns the
// annotations into it with the overlay's own renderer. A pure function: it may run on any
// thread and creates everything it uses.
namespace ExportComposer {

struct Failure {
    enum class Case { emptySelection, outsideCapture, contextUnavailable };

    Case kind = Case::contextUnavailable;

    static Failure emptySelection() { return {Case::emptySelection}; }
    static Failure outsideCapture() { return {Case::outsideCapture}; }
    static Failure contextUnavailable() { return {Case::contextUnavailable}; }

    QString description() const;
    bool operator==(const Failure&) const = default;
};

// The selection (view points of the capture's display, y up) as an RGBA 8-bit premultiplied
// sRGB image of exactly the cropped pixel size.
std::expected<QImage, Failure> compose(const DisplayCapture& capture, const Rect& selection,
                                       const QList<Annotation>& annotations);

}  // namespace ExportComposer
