#include "Settings/SectionTitle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include "Design/TessikColor.h"
#include "Design/TessikMark.h"
#include "Settings/SettingsStyle.h"

namespace {

// The 3 x 11 accent bar with its 1.5-point continuous corners.
class AccentBar final : public QWidget {
public:
    explicit AccentBar(QWidget* parent) : QWidget(parent) { setFixedSize(3, 11); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(continuousRoundedRect(QRectF(rect()), 1.5), tessikAccent());
    }
};

}  // namespace

SectionTitle::SectionTitle(const QString& text, QWidget* parent) : QWidget(parent), m_text(text) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(7);
    layout->addWidget(new AccentBar(this), 0, Qt::AlignVCenter);
    m_label = new QLabel(shownText(), this);
    QFont font = SettingsStyle::bodyFont();
    font.setPixelSize(11);
    font.setWeight(QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    m_label->setFont(font);
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, SettingsStyle::secondaryText());
    m_label->setPalette(palette);
    layout->addWidget(m_label, 0, Qt::AlignVCenter);
    layout->addStretch(1);
}

QString SectionTitle::shownText() const {
    return m_text.toUpper();
}
