#pragma once

#include <functional>

#include <QLineEdit>

#include "Base/Geometry.h"

// The borderless, transparent single-line field in which a text annotation is typed. It reports
// its two commands (new line, cancel) to its owner and handles every other key the ordinary way.
class TextEntryField : public QLineEdit {
    Q_OBJECT

public:
    // `fontSize` in points; `color` is the text colour.
    TextEntryField(double fontSize, const QColor& color, QWidget* parent);

    std::function<void()> onNewLine = [] {};
    std::function<void()> onCancel = [] {};

    // The font a text entry of that size uses.
    static QFont fontOfSize(double size);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};
