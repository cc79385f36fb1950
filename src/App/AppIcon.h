#pragma once

#include <QIcon>

// The application's icon (the mark on its dark tile), for windows, the about box and the
// onboarding header.
namespace AppIcon {

// Rendered from the bundled SVG at the usual sizes; null when the resource is missing.
QIcon make();

}  // namespace AppIcon
