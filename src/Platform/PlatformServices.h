#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QPointer>
#include <QSize>
#include <QString>
#include <QWindow>

#include "Capture/DisplaySource.h"
#include "Capture/GlobalSpace.h"
#include "Capture/PermissionService.h"
#include "Capture/ScreenSource.h"
#include "Platform/Session.h"
#include "Settings/DesktopShortcuts.h"

// What a session is missing for Tessik to work at all: the alert shown before quitting.
struct MissingService {
    QString message;
    QString informativeText;
};

// The implementations of the platform services for one kind of session. Made once, right after
// the application object, by makePlatformServices; what a session cannot offer is left empty.
struct PlatformServices {
    std::unique_ptr<ScreenSource> screens;
    std::unique_ptr<DisplaySource> displaySource;
    std::unique_ptr<PermissionService> permissions;
    // Where the pointer is, for the overlays; empty: Qt's own.
    GlobalSpace::PointerLocator pointer;
    // Gives a window exactly this size in pixels; empty: windows are left as Qt sizes them.
    std::function<void(WId window, QSize pixels)> fitWindowToPixels;
    // Puts rows of a window's first frame into it from row `top`, more quickly than Qt's first
    // paint when the window's backing store is fresh memory; false: not shown. Empty: Qt's
    // paint only.
    std::function<bool(WId window, const QImage& rows, int top)> showFirstFrame;
    // Overlays are fullscreen toplevels (a client cannot place windows) rather than
    // override-redirect windows.
    bool overlaysAsToplevels = false;
    // Installs the hot-key backend and keyboard layout into the shortcut module, before any
    // shortcut name is used. Empty: no system-wide shortcut in this session.
    std::function<void()> installGlobalShortcuts;
    // Where the desktop rather than Tessik binds the global shortcuts (Wayland): what it says,
    // for the settings. Null where Tessik grabs the keys.
    QPointer<DesktopShortcuts> desktopShortcuts;
    // Serves pastes of the clipboard exporter's images while held, where the session does it
    // better than Qt (X11). Empty: Qt serves them.
    std::shared_ptr<void> clipboardServer;
    // Set when the session lacks something Tessik cannot work without.
    std::optional<MissingService> missing;
};

PlatformServices makePlatformServices(SessionKind kind);
PlatformServices makeX11Services();
PlatformServices makeWaylandServices();
