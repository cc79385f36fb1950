#pragma once

#include <chrono>
#include <expected>
#include <functional>
#include <memory>

#include <QImage>
#include <QString>

#include "Base/AnyError.h"
#include "Capture/CaptureServicing.h"
#include "Capture/PermissionService.h"
#include "Capture/ScreenSource.h"
#include "Export/Exporter.h"
#include "Overlay/OverlayPresenting.h"
#include "UI/ToastPresenting.h"

class Preferences;

// A window the application shows on demand (settings, onboarding).
class WindowShowing {
public:
    virtual ~WindowShowing() = default;
    virtual void show() = 0;
};

// The status-bar item's three commands.
struct MenuBarActions {
    std::function<void()> captureArea;
    std::function<void()> captureFullScreen;
    std::function<void()> openPreferences;
};

// Everything the application controller owns or makes, wired by hand in one place (the entry
// point) and replaced by test doubles in tests. Everything up to `makeFileExporter` is
// required; the rest may be left empty.
struct AppServices {
    Preferences* preferences = nullptr;
    std::unique_ptr<PermissionService> permissions;
    std::unique_ptr<ScreenSource> screens;
    std::unique_ptr<CaptureServicing> captureService;
    std::unique_ptr<Exporter> clipboardExporter;
    // Whatever serves pastes of the clipboard exporter's images besides Qt; kept while it runs.
    std::shared_ptr<void> clipboardServer;
    std::unique_ptr<ToastPresenting> toast;
    std::unique_ptr<OverlayPresenting> overlay;

    // Crop and annotate a result; runs on a worker thread.
    std::function<std::expected<QImage, AnyError>(const OverlayResult&)> compose;
    // One file exporter per save, on the save folder current at that moment.
    std::function<std::unique_ptr<Exporter>(const QString& directory)> makeFileExporter;
    // Window controllers, made on first use and kept.
    std::function<std::unique_ptr<WindowShowing>(Preferences&)> makeSettingsWindow;
    std::function<std::unique_ptr<WindowShowing>(PermissionService&)> makeOnboardingWindow;
    // The status-bar item, made once at launch; owns whatever it returns.
    std::function<std::shared_ptr<void>(MenuBarActions)> makeMenuBar;
    // Runs the action on each key-down of the area-capture global shortcut.
    std::function<void(std::function<void()>)> onCaptureAreaShortcut;
    // The area capture's shortcut as the user reads it ("Ctrl+Maj+2"); empty when it has none.
    std::function<QString()> captureAreaShortcutText;
    // Where the compositor takes the clipboard only from a client with the keyboard and tells
    // no client where the pointer is (Wayland): shows the full-screen capture's displays and
    // calls `copy` once, with the display the user is on, while a Tessik window has the
    // keyboard. Empty: the display under the pointer is captured and copied at once.
    std::function<void(const QList<DisplayCapture>&, std::function<void(const DisplayCapture&)>)>
        handOverFullScreen;
    // Whether a Tessik window has the keyboard now; empty: Qt's focus window.
    std::function<bool()> hasKeyboard;
    // The one modal alert; the default shows a warning message box.
    std::function<void(const QString& message, const QString& informativeText)> alert;
    // How long without a capture before the memory kept for the next one is given back.
    std::chrono::milliseconds idleReleaseDelay = std::chrono::seconds(60);
};
