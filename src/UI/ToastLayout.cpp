#include "UI/ToastLayout.h"

#include <cmath>

#include <QApplication>
#include <QFontMetricsF>

namespace ToastLayout {

QFont labelFont() {
    QFont font = QApplication::font();
    font.setPixelSize(12);
    font.setWeight(QFont::Medium);
    return font;
}

QSizeF labelSize(const QString& message) {
    const QFontMetricsF metrics(labelFont());
    // Whole points, so the panel has integer edges and the text is never clipped.
    return {std::ceil(metrics.horizontalAdvance(message)), std::ceil(metrics.height())};
}

Rect panelFrame(QSizeF label, const Rect& displayFrame) {
    const double width = label.width() + 2 * horizontalPadding;
    const Rect display = displayFrame.isNull() ? Rect() : displayFrame.standardized();
    return Rect(display.midX() - width / 2, display.minY() + bottomOffset, width, height);
}

}  // namespace ToastLayout
