#include "Settings/SettingsHeader.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QVBoxLayout>

#include "Base/Localization.h"
#include "Design/TessikColor.h"
#include "Design/TessikMark.h"
#include "Settings/SettingsStyle.h"

namespace {

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(alpha);
    return color;
}

// The ink blended 10 % towards white.
QColor lighterInk() {
    const QColor ink = tessikInk();
    auto blend = [](int c) { return qRound(c + (255 - c) * 0.1); };
    return QColor(blend(ink.red()), blend(ink.green()), blend(ink.blue()));
}

// The version in a capsule of faint cream.
class VersionPill final : public QLabel {
public:
    VersionPill(const QString& text, QWidget* parent) : QLabel(text, parent) {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(11);
        font.setWeight(QFont::Medium);
        setFont(font);
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText, withAlpha(tessikCream(), 0.75));
        setPalette(palette);
        setContentsMargins(9, 4, 9, 4);
        setObjectName(QStringLiteral("versionPill"));
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(tessikCream(), 0.12));
        const QRectF r(rect());
        p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
        p.end();
        QLabel::paintEvent(event);
    }
};

QWidget* markWithShadow(QWidget* parent) {
    auto* mark = new TessikMark(true, true, parent);
    mark->setFixedSize(60, 60);
    auto* shadow = new QGraphicsDropShadowEffect(mark);
    shadow->setColor(withAlpha(Qt::black, 0.35));
    shadow->setBlurRadius(20);  // Qt's blur radius spans the whole fade: twice a shadow radius.
    shadow->setOffset(0, 4);
    mark->setGraphicsEffect(shadow);
    return mark;
}

}  // namespace

SettingsHeader::SettingsHeader(QWidget* parent) : QWidget(parent) {
    setFixedHeight(height);
    auto* row = new QHBoxLayout(this);
    // The window manager draws the title bar above the band rather than over it, so the content
    // sits in the middle of the band instead of below a title-bar inset.
    row->setContentsMargins(22, 28, 22, 28);
    row->setSpacing(16);
    row->addWidget(markWithShadow(this), 0, Qt::AlignVCenter);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(3);
    QFont nameFont = QApplication::font();
    nameFont.setPixelSize(24);
    nameFont.setWeight(QFont::DemiBold);
    titles->addWidget(SettingsStyle::label(QStringLiteral("Tessik"), nameFont, tessikCream(), this));
    QFont taglineFont = QApplication::font();
    taglineFont.setPixelSize(12);
    taglineFont.setWeight(QFont::Medium);
    titles->addWidget(SettingsStyle::label(tagline(), taglineFont, withAlpha(tessikCream(), 0.55), this));
    row->addLayout(titles);
    row->addSpacing(8);
    row->addStretch(1);
    auto* pill = new VersionPill(versionText(), this);
    pill->setToolTip(QCoreApplication::applicationVersion());
    row->addWidget(pill, 0, Qt::AlignVCenter);
}

QString SettingsHeader::tagline() {
    return localized("Capturer, annoter, partager. Sans détour.");
}

QString SettingsHeader::versionText() {
    // A snapshot's commit suffix ("~git138.g273eec0d") would push the tagline out of the band:
    // the pill keeps the release, its tool tip the whole version.
    const QString version = QCoreApplication::applicationVersion().section(u'~', 0, 0);
    return QStringLiteral("v") + (version.isEmpty() ? QStringLiteral("0.1") : version);
}

void SettingsHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF band(rect());
    QLinearGradient base(band.bottomLeft(), band.topRight());
    base.setColorAt(0, tessikInk());
    base.setColorAt(1, lighterInk());
    p.fillRect(band, base);

    // From radius 4 to radius 230, three evenly spaced stops; solid inside radius 4.
    const QPointF centre(band.width() * 0.9, band.height() * 0.3);
    const double start = 4.0 / 230;
    QRadialGradient glow(centre, 230);
    glow.setColorAt(0, withAlpha(tessikAccent(), 0.30));
    glow.setColorAt(start, withAlpha(tessikAccent(), 0.30));
    glow.setColorAt(start + (1 - start) / 2, withAlpha(tessikAccent(), 0.06));
    glow.setColorAt(1, withAlpha(tessikAccent(), 0));
    p.setCompositionMode(QPainter::CompositionMode_Screen);
    p.fillRect(band, glow);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    QLinearGradient line(band.left(), 0, band.right(), 0);
    line.setColorAt(0, tessikAccent());
    line.setColorAt(1, withAlpha(tessikAccent(), 0));
    p.fillRect(QRectF(band.left(), band.bottom() - 2, band.width(), 2), line);
}
