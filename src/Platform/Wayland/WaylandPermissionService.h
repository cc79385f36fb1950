#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QObject>
#include <QStringList>

#include "Platform/DesktopPermissionService.h"
#include "Platform/Wayland/ScreenshotPermission.h"

// The screenshot permission of a Wayland desktop, kept by its portal in the permission store.
// Access is the store's answer for Tessik; with none, access depends on whether the portal
// consults the store at all. Asking is one non-interactive screenshot request made while a
// Tessik window has the focus (desktops show their access dialog only to the focused
// application); its image is thrown away. The relaunch is the X11 one.
class WaylandPermissionService final : public DesktopPermissionService {
public:
    // What the service asks of the desktop; tests replace each.
    struct Desktop {
        // The store's screenshot table; none when it cannot be read.
        std::function<std::optional<ScreenshotPermission::Table>()> readStore;
        // Whether the portal's backend consults the store (its Screenshot version is 2 or
        // more); none when that cannot be told. Asked once.
        std::function<std::optional<bool>()> storeConsulted;
        // One non-interactive screenshot request; tells whether an image came (it is dropped).
        std::function<void(std::function<void(bool taken)>)> screenshot;
        // Whether a Tessik window has the keyboard focus.
        std::function<bool()> hasFocus;
        // The full path of a program on PATH, or an empty text.
        std::function<QString(const QString&)> findProgram;
        // The desktop's names, as XDG_CURRENT_DESKTOP lists them.
        QStringList desktops;
        // How long the request waits for a Tessik window to take the focus before asking anyway.
        int focusWaitMs = 3000;
    };

    WaylandPermissionService(Desktop desktop, QString appId, Starter starter = {},
                             std::function<void()> quit = {});
    ~WaylandPermissionService() override;

    bool hasAccess() const override;
    bool requestAccess() override;
    void openSystemSettings() override;

    // A non-interactive screenshot was taken (a capture, a request): while the store still has
    // no answer, that shows the portal does not consult it.
    void noteScreenshotTaken();
    // The same news from any thread (the captures'): the service learns from it on its own
    // thread. Calling it after the service is gone does nothing.
    std::function<void()> screenshotWitness();

    // The command that opens the desktop's settings of application permissions; none on a
    // desktop without such a page.
    static std::optional<QStringList> settingsCommand(
        const QStringList& desktops, const std::function<QString(const QString&)>& findProgram);

    // The real desktop: the session bus, the portal files, Qt's focus and PATH.
    static Desktop sessionDesktop();

private:
    ScreenshotPermission::Entry entry() const;
    bool storeConsulted() const;
    void askWhenFocused(int waitedMs);

    Desktop m_desktop;
    QString m_appId;
    Starter m_starter;
    mutable std::optional<bool> m_storeConsulted;
    bool m_asking = false;
    // Timers and answers die with the service.
    std::unique_ptr<QObject> m_context;
};
