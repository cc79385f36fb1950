#include "Platform/Wayland/WaylandPermissionService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "Platform/Wayland/PermissionStoreBus.h"

namespace {
constexpr int kBusTimeoutMs = 1000;
constexpr int kFocusPollMs = 50;

// Where the portal frontend reads the backends' descriptions.
QString portalDirectory() {
    const QString own = qEnvironmentVariable("XDG_DESKTOP_PORTAL_DIR");
    return own.isEmpty() ? QStringLiteral("/usr/share/xdg-desktop-portal/portals") : own;
}
}  // namespace

WaylandPermissionService::WaylandPermissionService(Desktop desktop, QString appId, Starter starter,
                                                   std::function<void()> quit)
    : DesktopPermissionService(starter, std::move(quit)),
      m_desktop(std::move(desktop)),
      m_appId(std::move(appId)),
      m_starter(std::move(starter)),
      m_context(std::make_unique<QObject>()) {
    if (!m_starter)
        m_starter = [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
        };
}

WaylandPermissionService::~WaylandPermissionService() = default;

ScreenshotPermission::Entry WaylandPermissionService::entry() const {
    // A store that cannot be read has no answer: the portal could not read it either.
    const auto table = m_desktop.readStore ? m_desktop.readStore() : std::nullopt;
    return ScreenshotPermission::entryFor(table.value_or(ScreenshotPermission::Table{}), m_appId);
}

bool WaylandPermissionService::storeConsulted() const {
    // Unknown is taken as consulted: the request then shows whether it is (a screenshot taken
    // with no answer in the store says it is not).
    if (!m_storeConsulted)
        m_storeConsulted =
            (m_desktop.storeConsulted ? m_desktop.storeConsulted() : std::nullopt).value_or(true);
    return *m_storeConsulted;
}

bool WaylandPermissionService::hasAccess() const {
    return ScreenshotPermission::hasAccess(entry(), storeConsulted());
}

bool WaylandPermissionService::requestAccess() {
    // Granted already, or a request under way: nothing to ask.
    if (m_asking || entry() == ScreenshotPermission::Entry::yes || !m_desktop.screenshot)
        return true;
    m_asking = true;
    askWhenFocused(0);
    return true;
}

void WaylandPermissionService::askWhenFocused(int waitedMs) {
    // The window asking is usually still being shown: wait for the focus a little.
    const bool focused = !m_desktop.hasFocus || m_desktop.hasFocus();
    if (!focused && waitedMs < m_desktop.focusWaitMs) {
        QTimer::singleShot(kFocusPollMs, m_context.get(),
                           [this, waitedMs] { askWhenFocused(waitedMs + kFocusPollMs); });
        return;
    }
    QPointer<QObject> alive(m_context.get());
    m_desktop.screenshot([this, alive](bool taken) {
        if (!alive) return;
        m_asking = false;
        if (taken) noteScreenshotTaken();
    });
}

void WaylandPermissionService::noteScreenshotTaken() {
    if (entry() == ScreenshotPermission::Entry::unset) m_storeConsulted = false;
}

std::function<void()> WaylandPermissionService::screenshotWitness() {
    // Posted to the application object, which outlives the service and lives on its thread;
    // whether the service is still there is asked on that thread only.
    QPointer<QObject> alive(m_context.get());
    QCoreApplication* receiver = QCoreApplication::instance();
    return [this, alive, receiver] {
        if (!receiver) return;
        QMetaObject::invokeMethod(
            receiver,
            [this, alive] {
                if (alive) noteScreenshotTaken();
            },
            Qt::QueuedConnection);
    };
}

std::optional<QStringList> WaylandPermissionService::settingsCommand(
    const QStringList& desktops, const std::function<QString(const QString&)>& findProgram) {
    // GNOME's Applications page holds each application's screenshot permission.
    if (desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive) && findProgram) {
        const QString program = findProgram(QStringLiteral("gnome-control-center"));
        if (!program.isEmpty()) return QStringList{program, QStringLiteral("applications")};
    }
    return std::nullopt;
}

void WaylandPermissionService::openSystemSettings() {
    const auto command = settingsCommand(m_desktop.desktops, m_desktop.findProgram);
    if (!command) return;
    m_starter(command->constFirst(), command->mid(1));
}

WaylandPermissionService::Desktop WaylandPermissionService::sessionDesktop() {
    Desktop d;
    d.readStore = [] {
        return PermissionStoreBus::lookUpScreenshots(QDBusConnection::sessionBus(), kBusTimeoutMs);
    };
    d.storeConsulted = []() -> std::optional<bool> {
        const auto backend = ScreenshotPermission::screenshotBackend(
            portalDirectory(), qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':')));
        if (!backend) return std::nullopt;
        const auto version = PermissionStoreBus::screenshotVersion(QDBusConnection::sessionBus(),
                                                                   *backend, kBusTimeoutMs);
        if (!version) return std::nullopt;
        return *version >= 2;
    };
    d.hasFocus = [] { return QGuiApplication::focusWindow() != nullptr; };
    d.findProgram = [](const QString& name) { return QStandardPaths::findExecutable(name); };
    d.desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return d;
}
