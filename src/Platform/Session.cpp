#include "Platform/Session.h"

#include <QGuiApplication>

namespace Session {

SessionKind detect(const QProcessEnvironment& environment) {
    const bool wayland =
        environment.value("XDG_SESSION_TYPE").compare("wayland", Qt::CaseInsensitive) == 0 ||
        !environment.value("WAYLAND_DISPLAY").isEmpty();
    return wayland ? SessionKind::wayland : SessionKind::x11;
}

QByteArray qtPlatform(SessionKind kind, const QProcessEnvironment& environment) {
    const QString chosen = environment.value("QT_QPA_PLATFORM");
    if (!chosen.isEmpty()) return chosen.toUtf8();
    return kind == SessionKind::wayland ? "wayland" : "xcb";
}

void selectQtPlatform(SessionKind kind) {
    qputenv("QT_QPA_PLATFORM", qtPlatform(kind, QProcessEnvironment::systemEnvironment()));
}

SessionKind current() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
               ? SessionKind::wayland
               : SessionKind::x11;
}

}  // namespace Session
