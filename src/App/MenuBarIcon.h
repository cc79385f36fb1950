#pragma once

#include <optional>

#include <QColor>
#include <QIcon>
#include <QString>

// The tray image: a one-colour drawing tinted for the panel it sits on.
namespace MenuBarIcon {

// The SVG at `path` tinted in `tint` at the sizes trays ask for; nothing when it cannot be read.
std::optional<QIcon> load(const QString& path, const QColor& tint);

// A tray cannot show a title, so the text "[ ]" is drawn into the icon instead.
QIcon fallback(const QColor& tint);

// The panel's text colour as the desktop theme reports it, so the mark reads on light and dark
// panels alike.
QColor panelTint();

}  // namespace MenuBarIcon
