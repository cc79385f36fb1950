#pragma once

#include <QColor>

// The three brand colours (opaque sRGB). Everything Tessik draws of its own uses these.
namespace TessikColor {
inline QColor ink() {
    return QColor(20, 20, 20);
}
inline QColor cream() {
    return QColor(244, 241, 236);
}
inline QColor accent() {
    return QColor(255, 77, 28);
}
}  // namespace TessikColor

// The same colours for widget content laid out declaratively (settings, onboarding), each made
// once.
inline const QColor& tessikInk() {
    static const QColor color = TessikColor::ink();
    return color;
}
inline const QColor& tessikCream() {
    static const QColor color = TessikColor::cream();
    return color;
}
inline const QColor& tessikAccent() {
    static const QColor color = TessikColor::accent();
    return color;
}
