#pragma once

#include <QFont>
#include <QSizeF>
#include <QString>

#include "Base/Geometry.h"

// The toast's measurements, in points.
namespace ToastLayout {

inline constexpr double height = 38;
inline constexpr double horizontalPadding = 18;
// Gap between the bottom of the display and the bottom of the toast.
inline constexpr double bottomOffset = 120;
inline constexpr double backgroundOpacity = 0.92;

// The system font at 12 points, medium weight.
QFont labelFont();
// The label's natural size for one line of text.
QSizeF labelSize(const QString& message);
// The panel's frame in global screen space (y up): label width + 36 wide, centred on the
// display, its bottom 120 above the display's bottom.
Rect panelFrame(QSizeF label, const Rect& displayFrame);

}  // namespace ToastLayout
