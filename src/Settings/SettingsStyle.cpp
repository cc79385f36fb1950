#include "Settings/SettingsStyle.h"

#include <QApplication>
#include <QLabel>

#include "Design/TessikColor.h"

namespace SettingsStyle {

namespace {
QString css(const QColor& c) {
    return c.alpha() == 255 ? c.name()
                            : QStringLiteral("rgba(%1,%2,%3,%4)")
                                  .arg(c.red())
                                  .arg(c.green())
                                  .arg(c.blue())
                                  .arg(c.alpha());
}

QFont sized(double points, QFont::Weight weight = QFont::Normal) {
    QFont font = QApplication::font();
    font.setPixelSize(qRound(points));
    font.setWeight(weight);
    return font;
}
}  // namespace

QColor background() {
    return {240, 238, 234};
}
QColor groupBackground() {
    return {255, 255, 255};
}
QColor groupBorder() {
    return {0, 0, 0, 22};
}
QColor separator() {
    return {0, 0, 0, 20};
}
QColor primaryText() {
    return tessikInk();
}
QColor secondaryText() {
    return {110, 106, 100};
}
QColor errorText() {
    return {215, 38, 38};
}
QColor controlBorder() {
    return {0, 0, 0, 40};
}

QFont bodyFont() {
    return sized(13);
}
QFont captionFont() {
    return sized(11);
}
QFont smallControlFont() {
    return sized(12, QFont::Medium);
}

QString styleSheet() {
    const QString accent = css(tessikAccent());
    return QStringLiteral(R"(
QPushButton[settingsButton="true"] {
    background: #ffffff; color: %1; border: 1px solid %2; border-radius: 6px;
    padding: 3px 10px; min-height: 16px;
}
QPushButton[settingsButton="true"]:hover { background: #f7f5f2; }
QPushButton[settingsButton="true"]:pressed { background: #ebe8e3; }
QPushButton[settingsButton="true"]:focus { border: 1px solid %3; }
QPushButton[settingsButton="true"]:disabled { color: %4; background: #f6f5f3; }
QLineEdit#GlobalShortcuts\.RecorderControl {
    background: #f7f6f3; color: %1; border: 1px solid %2; border-radius: 6px;
    padding: 0px 4px; selection-background-color: transparent; selection-color: %1;
}
QLineEdit#GlobalShortcuts\.RecorderControl:focus { background: #ffffff; border: 2px solid %3; padding: 0px 3px; }
QToolTip { color: %1; background: #ffffff; border: 1px solid %2; padding: 3px; }
)")
        .arg(css(primaryText()), css(controlBorder()), accent, css(secondaryText()));
}

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, color);
    l->setPalette(palette);
    return l;
}

}  // namespace SettingsStyle
