#pragma once

#include <QProcessEnvironment>

// The kind of desktop session Tessik runs in; it decides Qt's platform plugin and which
// implementation of each platform service is used. Chosen once, before the application object.
enum class SessionKind { x11, wayland };

namespace Session {
// Wayland when the session says so or a Wayland display is given: under XWayland an X11
// capture would show only X clients, so a Wayland session is always run as one.
SessionKind detect(const QProcessEnvironment& environment);
// Qt's platform plugin for the session; an explicit QT_QPA_PLATFORM (tests, offscreen) wins.
QByteArray qtPlatform(SessionKind kind, const QProcessEnvironment& environment);
// Sets QT_QPA_PLATFORM for the application object about to be made.
void selectQtPlatform(SessionKind kind);
// The session the running application object is in, from Qt's platform plugin.
SessionKind current();
}  // namespace Session
