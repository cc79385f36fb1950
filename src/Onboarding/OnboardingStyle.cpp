#include "Onboarding/OnboardingStyle.h"

#include <algorithm>

#include <QApplication>
#include <QColor>

#include "Design/TessikColor.h"

namespace {

QFont sized(int pixels, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

QString css(const QColor& c) {
    return c.name(QColor::HexRgb);
}

}  // namespace

namespace OnboardingStyle {

QFont bodyFont() {
    return sized(13, QFont::Normal);
}
QFont titleFont() {
    return sized(16, QFont::DemiBold);
}
QFont grantedFont() {
    return sized(14, QFont::DemiBold);
}
QFont buttonFont() {
    return sized(13, QFont::DemiBold);
}

QString defaultButtonStyleSheet() {
    const QColor accent = TessikColor::accent();
    return QStringLiteral(
               "QPushButton { color: white; background: %1; border: none; border-radius: 6px;"
               " padding: 6px 16px; min-height: 16px; }"
               "QPushButton:hover { background: %2; }"
               "QPushButton:pressed { background: %3; }"
               "QPushButton:focus { outline: none; }")
        .arg(css(accent), css(accent.darker(108)), css(accent.darker(122)));
}

QPainterPath smoothRoundedRect(const QRectF& rect, double radius) {
    const double r = std::min({radius, rect.width() / 2, rect.height() / 2});
    // The curve starts 1.28 r from each corner and its handles pull it flatter than an arc.
    const double reach = std::min({r * 1.28, rect.width() / 2, rect.height() / 2});
    const double pull = reach * 0.64;
    const double l = rect.left(), t = rect.top(), ri = rect.right(), b = rect.bottom();
    QPainterPath path;
    path.moveTo(l + reach, t);
    path.lineTo(ri - reach, t);
    path.cubicTo(ri - reach + pull, t, ri, t + reach - pull, ri, t + reach);
    path.lineTo(ri, b - reach);
    path.cubicTo(ri, b - reach + pull, ri - reach + pull, b, ri - reach, b);
    path.lineTo(l + reach, b);
    path.cubicTo(l + reach - pull, b, l, b - reach + pull, l, b - reach);
    path.lineTo(l, t + reach);
    path.cubicTo(l, t + reach - pull, l + reach - pull, t, l + reach, t);
    path.closeSubpath();
    return path;
}

}  // namespace OnboardingStyle
