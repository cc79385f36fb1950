#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

// The settings window's look: a neutral background with white rounded groups, the brand accent
// as the controls' tint, and the text sizes of a desktop settings form (in points).
namespace SettingsStyle {

inline constexpr int windowWidth = 480;
inline constexpr int formMargin = 20;
inline constexpr int rowPaddingH = 14;
inline constexpr int rowPaddingV = 11;

QColor background();
QColor groupBackground();
QColor groupBorder();
QColor separator();
QColor primaryText();
QColor secondaryText();
QColor errorText();
QColor controlBorder();

// Body text, caption text (hints, status lines) and the small buttons' text.
QFont bodyFont();
QFont captionFont();
QFont smallControlFont();

// A label in the given font and text colour.
QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent);

// The style sheet of the form's own widgets (buttons, recorder field), keyed by object names.
QString styleSheet();

}  // namespace SettingsStyle
