#include "Platform/Wayland/PortalErrors.h"

#include "Capture/CaptureError.h"

namespace PortalErrors {

namespace {
constexpr const char* portalDomain = "ScreenshotPortal";
}

Failure failed(const QString& reason) {
    return {QString::fromLatin1(portalDomain), 0, reason};
}

Failure cancelled() {
    return {QString::fromLatin1(CaptureError::cancelDomain), 1, QStringLiteral("capture annulée")};
}

Failure refused() {
    // The code the capture errors take for "the user declined".
    return {QString::fromLatin1(CaptureError::permissionDomain), -3801,
            QStringLiteral("capture d'écran refusée à Tessik")};
}

Failure forResponse(uint code, const std::optional<QStringList>& entry) {
    if (code == 1) return cancelled();
    if (code == 2) {
        if (entry && entry->value(0) == QLatin1String("no")) return refused();
        return failed(QStringLiteral("le portail de capture d'écran n'a pas pu faire la capture"));
    }
    return failed(QStringLiteral("réponse inconnue du portail de capture d'écran (%1)").arg(code));
}

Failure forBusError(const QString& name, const QString& message) {
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
        name == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
        name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject"))
        return failed(QStringLiteral("aucun portail de capture d'écran n'est disponible"));
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        return failed(QStringLiteral("le portail de capture d'écran ne répond pas"));
    if (name == QLatin1String("org.freedesktop.DBus.Error.Disconnected") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NoServer"))
        return noBus();
    return failed(QStringLiteral("le portail de capture d'écran a renvoyé une erreur (%1 : %2)")
                      .arg(name, message));
}

Failure timedOut(int seconds) {
    return failed(
        QStringLiteral("le portail de capture d'écran n'a pas répondu en %1 s").arg(seconds));
}

Failure noBus() {
    return failed(QStringLiteral("le bus de session D-Bus n'est pas joignable"));
}

}  // namespace PortalErrors
