#include "Settings/ToggleSwitch.h"

#include <QPainter>

#include "Design/TessikColor.h"

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const double radius = track.height() / 2;
    QColor fill = isChecked() ? tessikAccent() : QColor(0, 0, 0, 38);
    if (!isEnabled()) fill.setAlpha(fill.alpha() / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(track, radius, radius);
    if (hasFocus()) {
        p.setPen(QPen(
            QColor(tessikAccent().red(), tessikAccent().green(), tessikAccent().blue(), 90), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(track.adjusted(-0.5, -0.5, 0.5, 0.5), radius, radius);
    }
    const double knob = track.height() - 4;
    const double x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    const QRectF knobRect(x, track.top() + 2, knob, knob);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 30));
    p.drawEllipse(knobRect.translated(0, 0.8));
    p.setBrush(Qt::white);
    p.drawEllipse(knobRect);
}
