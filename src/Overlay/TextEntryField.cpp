#include "Overlay/TextEntryField.h"

#include <algorithm>

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPalette>

#include "Base/Localization.h"

TextEntryField::TextEntryField(double fontSize, const QColor& color, QWidget* parent)
    : QLineEdit(parent) {
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setAutoFillBackground(false);
    setFont(fontOfSize(fontSize));
    setPlaceholderText(localized("Texte"));
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, color);
    QColor placeholder = color;
    placeholder.setAlphaF(0.55);
    pal.setColor(QPalette::PlaceholderText, placeholder);
    setPalette(pal);
}

QFont TextEntryField::fontOfSize(double size) {
    // The face the renderer draws text annotations with, so the typed text looks as it will.
    QFont font;
    font.setFamilies({QStringLiteral("Inter")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qMax(1, qRound(size)));
    return font;
}

void TextEntryField::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    // The committed text is drawn with the top of its line at the field's top-left corner:
    // undo the line edit's own 2-point side margin and its vertical centring so that the text
    // does not move when it is committed.
    const int line = QFontMetrics(font()).height();
    setTextMargins(-2, 0, 0, std::max(0, height() - line));
}

void TextEntryField::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            onNewLine();
            return;
        case Qt::Key_Escape:
            event->accept();
            onCancel();
            return;
        default:
            QLineEdit::keyPressEvent(event);
    }
}
