#include "Settings/FormGroup.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "Design/TessikMark.h"
#include "Settings/SettingsStyle.h"

FormGroup::FormGroup(QWidget* parent) : QWidget(parent) {
    m_rows = new QVBoxLayout(this);
    m_rows->setContentsMargins(SettingsStyle::rowPaddingH, 0, SettingsStyle::rowPaddingH, 0);
    m_rows->setSpacing(0);
}

void FormGroup::addRow(QWidget* row) {
    row->setParent(this);
    row->setContentsMargins(0, SettingsStyle::rowPaddingV, 0, SettingsStyle::rowPaddingV);
    m_rows->addWidget(row);
}

void FormGroup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath shape = continuousRoundedRect(frame, 10);
    p.fillPath(shape, SettingsStyle::groupBackground());
    p.setPen(QPen(SettingsStyle::groupBorder(), 1));
    p.drawPath(shape);
    // Hairlines between visible rows, inset like the rows' text.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(SettingsStyle::separator(), 1));
    bool first = true;
    for (int i = 0; i < m_rows->count(); ++i) {
        const QWidget* row = m_rows->itemAt(i)->widget();
        if (!row || row->isHidden()) continue;
        if (!first) p.drawLine(SettingsStyle::rowPaddingH, row->y(), width(), row->y());
        first = false;
    }
}
