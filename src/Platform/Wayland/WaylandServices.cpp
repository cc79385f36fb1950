#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include "Base/Localization.h"
#include "Capture/QtScreenSource.h"
#include "Platform/DesktopPermissionService.h"
#include "Platform/PlatformServices.h"
#include "Platform/Wayland/PortalDisplaySource.h"
#include "Platform/Wayland/WaylandOutputs.h"

namespace {

// Whether the desktop portal offers screenshots: the only way to capture on Wayland. Asking
// starts the portal when it is activatable.
bool hasScreenshotPortal() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.portal.Screenshot") << QStringLiteral("version");
    return bus.call(get, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
}

MissingService noScreenshotPortal() {
    return {localized("Portail de capture d'écran introuvable"),
            localized("Sous Wayland, Tessik capture l'écran par le portail de capture d'écran "
                      "(org.freedesktop.portal.Screenshot), que cette session n'offre pas. "
                      "Installez xdg-desktop-portal et le portail de votre bureau "
                      "(xdg-desktop-portal-gnome, xdg-desktop-portal-kde ou "
                      "xdg-desktop-portal-wlr), puis relancez Tessik.")};
}

}  // namespace

PlatformServices makeWaylandServices() {
    PlatformServices s;
    if (!hasScreenshotPortal()) s.missing = noScreenshotPortal();
    auto outputs = WaylandOutputs::tracking();
    s.screens =
        std::make_unique<QtScreenSource>([outputs](const QString& name) -> std::optional<quint32> {
            return outputs->idForName(name);
        });
    s.displaySource = std::make_unique<PortalDisplaySource>(outputs);
    // The portal asks the user itself when it needs to; the refusal it reports opens the
    // onboarding window.
    s.permissions = std::make_unique<DesktopPermissionService>();
    s.overlaysAsToplevels = true;
    return s;
}
