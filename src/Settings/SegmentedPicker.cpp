#include "Settings/SegmentedPicker.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>

#include "Design/TessikColor.h"
#include "Settings/SettingsStyle.h"

namespace {

class Segment final : public QAbstractButton {
public:
    Segment(const QString& text, QWidget* parent) : QAbstractButton(parent) {
        setText(text);
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
        setFont(SettingsStyle::smallControlFont());
        setFocusPolicy(Qt::StrongFocus);
    }
    QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(text()) + 26, 24}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
        if (isChecked()) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 0, 0, 25));
            p.drawRoundedRect(r.translated(0, 0.7), 5, 5);
            p.setBrush(tessikAccent());
            p.drawRoundedRect(r, 5, 5);
        } else if (underMouse()) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 0, 0, 14));
            p.drawRoundedRect(r, 5, 5);
        }
        // Keyboard focus shows on either segment: an accent ring, or a white one inside the
        // accent fill of the chosen segment.
        if (hasFocus()) {
            p.setPen(QPen(isChecked() ? QColor(Qt::white) : tessikAccent(), 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(isChecked() ? r.adjusted(2, 2, -2, -2) : r, 4, 4);
        }
        p.setPen(isChecked() ? QColor(Qt::white) : SettingsStyle::primaryText());
        p.drawText(rect(), Qt::AlignCenter, text());
    }
};

}  // namespace

SegmentedPicker::SegmentedPicker(const QStringList& choices, QWidget* parent)
    : QWidget(parent), m_choices(choices), m_group(new QButtonGroup(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < choices.size(); ++i) {
        auto* segment = new Segment(choices[i], this);
        m_group->addButton(segment, i);
        layout->addWidget(segment);
    }
    m_group->setExclusive(true);
    connect(m_group, &QButtonGroup::idClicked, this,
            [this](int id) { emit currentIndexChanged(id); });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

int SegmentedPicker::currentIndex() const {
    return m_group->checkedId();
}

void SegmentedPicker::setCurrentIndex(int index) {
    if (QAbstractButton* button = m_group->button(index)) button->setChecked(true);
}

void SegmentedPicker::pick(int index) {
    if (QAbstractButton* button = m_group->button(index)) button->click();
}

void SegmentedPicker::paintEvent(QPaintEvent*) {
    // The track behind the segments.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 16));
    p.drawRoundedRect(QRectF(rect()), 7, 7);
}
