#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <QProcessEnvironment>

#include "Base/ApplicationId.h"
#include "Base/Localization.h"
#include "Capture/QtScreenSource.h"
#include "GlobalShortcuts/HotKeyRegistry.h"
#include "GlobalShortcuts/KeyboardLayout.h"
#include "Platform/PlatformServices.h"
#include "Platform/Wayland/DBusShortcutsPortal.h"
#include "Platform/Wayland/PortalDisplaySource.h"
#include "Platform/Wayland/PortalHotKeyBackend.h"
#include "Platform/Wayland/PortalImage.h"
#include "Platform/Wayland/PortalRequest.h"
#include "Platform/Wayland/WaylandKeyboardLayout.h"
#include "Platform/Wayland/WaylandOutputs.h"
#include "Platform/Wayland/WaylandPermissionService.h"

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

// The permission's desktop: the session bus, with the screenshot portal's own request; the
// image it gives is read (which removes a temporary file) and dropped.
WaylandPermissionService::Desktop permissionDesktop() {
    auto desktop = WaylandPermissionService::sessionDesktop();
    desktop.screenshot = [](std::function<void(bool)> done) {
        PortalRequest::screenshot(
            QDBusConnection::sessionBus(), [done](const PortalRequest::Outcome& outcome) {
                if (!outcome) return done(false);
                const auto places =
                    PortalImage::temporaryPlaces(QProcessEnvironment::systemEnvironment());
                done(PortalImage::read(*outcome, places).has_value());
            });
    };
    return desktop;
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
    auto permissions = std::make_unique<WaylandPermissionService>(
        permissionDesktop(), QString::fromLatin1(ApplicationId::name));
    // A capture the portal takes while the store has no answer tells the permission that the
    // portal does not consult the store.
    s.displaySource = std::make_unique<PortalDisplaySource>(
        outputs, [taken = permissions->screenshotWitness()](
                     std::function<void(PortalRequest::Outcome)> done) {
            PortalRequest::screenshot(QDBusConnection::sessionBus(),
                                      [taken, done](PortalRequest::Outcome outcome) {
                                          if (outcome) taken();
                                          done(std::move(outcome));
                                      });
        });
    s.overlaysAsToplevels = true;
    s.permissions = std::move(permissions);
    // The desktop binds the keys through its shortcuts portal, or in its own settings.
    // Letter keys are offered by the letter the layout gives them (the Q key of an AZERTY
    // keyboard types "a").
    const auto layoutText = [](GlobalShortcuts::Key key) -> std::optional<QString> {
        const auto* layout = GlobalShortcuts::keyboardLayout();
        return layout ? layout->text(key) : std::nullopt;
    };
    auto backend = std::make_shared<std::unique_ptr<PortalHotKeyBackend>>(
        std::make_unique<PortalHotKeyBackend>(std::make_unique<DBusShortcutsPortal>(), layoutText));
    s.desktopShortcuts = backend->get();
    s.installGlobalShortcuts = [backend] {
        GlobalShortcuts::setKeyboardLayout(std::make_unique<WaylandKeyboardLayout>());
        if (*backend) GlobalShortcuts::HotKeyRegistry::setBackend(std::move(*backend));
    };
    return s;
}
