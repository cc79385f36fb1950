#pragma once

#include <QFont>
#include <QPainterPath>
#include <QRectF>
#include <QString>

// Fonts, the default button's look and the smooth rounded rectangle of the onboarding window.
// Sizes are in points (Qt's device-independent pixels).
namespace OnboardingStyle {

QFont bodyFont();
QFont titleFont();    // 16 points, semibold
QFont grantedFont();  // 14 points, semibold
QFont buttonFont();
QString defaultButtonStyleSheet();

// A rounded rectangle whose corners ease into the sides (a squircle-like curve) instead of
// meeting them with a circular arc.
QPainterPath smoothRoundedRect(const QRectF& rect, double radius);

}  // namespace OnboardingStyle
