#pragma once

#include <QProcessEnvironment>
#include <QString>

// Tessik captures through X11. Under Wayland, even with XWayland offering an X display, a
// capture would show only X clients: refuse to run rather than fail silently.
namespace SessionCheck {
bool isWaylandSession(const QProcessEnvironment& environment);
QString waylandMessage();
QString waylandInformativeText();
}  // namespace SessionCheck
