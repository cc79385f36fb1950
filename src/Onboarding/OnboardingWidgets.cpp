#include "Onboarding/OnboardingWidgets.h"

#include <cmath>

#include <QApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "Design/TessikColor.h"
#include "Onboarding/OnboardingStyle.h"

namespace OnboardingWidgets {

QLabel* paragraph(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(OnboardingStyle::bodyFont());
    label->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    return label;
}

QWidget* instructionRow(int number, const QString& text, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* badge = new NumberBadge(number, row);
    QLabel* label = paragraph(text, row);
    // Align the badge's digits with the first line of text.
    const double textBaseline = QFontMetricsF(label->font()).ascent();
    const int shift = int(std::lround(NumberBadge::baseline() - textBaseline));
    label->setContentsMargins(0, qMax(0, shift), 0, 0);
    auto* badgeColumn = new QVBoxLayout;
    badgeColumn->setContentsMargins(0, qMax(0, -shift), 0, 0);
    badgeColumn->addWidget(badge);
    badgeColumn->addStretch();
    layout->addLayout(badgeColumn);
    layout->addWidget(label, 1);
    return row;
}

QPushButton* defaultButton(const QString& title, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setDefault(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(OnboardingStyle::buttonFont());
    button->setStyleSheet(OnboardingStyle::defaultButtonStyleSheet());
    return button;
}

QWidget* trailingRow(QPushButton* button, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    layout->addWidget(button);
    return row;
}

}  // namespace OnboardingWidgets

NumberBadge::NumberBadge(int number, QWidget* parent) : QWidget(parent), m_number(number) {
    setFixedSize(side, side);
}

QFont NumberBadge::digitFont() {
    QFont font = QApplication::font();
    font.setPixelSize(11);
    font.setBold(true);
    return font;
}

double NumberBadge::baseline() {
    // Digits are as tall as capitals: centring them puts the baseline half a cap below centre.
    return (side + QFontMetricsF(digitFont()).capHeight()) / 2.0;
}

void NumberBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(TessikColor::accent());
    painter.drawEllipse(QRectF(0, 0, side, side));
    painter.setPen(Qt::white);
    painter.setFont(digitFont());
    const QString digits = QString::number(m_number);
    const double width = QFontMetricsF(digitFont()).horizontalAdvance(digits);
    painter.drawText(QPointF((side - width) / 2.0, baseline()), digits);
}

InstructionsBox::InstructionsBox(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(8);
}

void InstructionsBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::WindowText);
    fill.setAlphaF(0.04f);
    painter.fillPath(OnboardingStyle::smoothRoundedRect(QRectF(rect()), 8), fill);
}

Divider::Divider(QWidget* parent) : QWidget(parent) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(0.12f);
    painter.fillRect(rect(), line);
}

AppIconView::AppIconView(QWidget* parent) : QWidget(parent) {
    setFixedSize(64, 64);
}

void AppIconView::paintEvent(QPaintEvent*) {
    const QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    icon.paint(&painter, rect());
}

CheckmarkSymbol::CheckmarkSymbol(int side, QWidget* parent) : QWidget(parent) {
    setFixedSize(side, side);
}

void CheckmarkSymbol::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = width();
    painter.setPen(Qt::NoPen);
    painter.setBrush(TessikColor::accent());
    painter.drawEllipse(QRectF(0, 0, s, s));
    QPainterPath check;
    check.moveTo(0.28 * s, 0.52 * s);
    check.lineTo(0.44 * s, 0.68 * s);
    check.lineTo(0.72 * s, 0.36 * s);
    painter.setPen(QPen(Qt::white, 0.12 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(check);
}
