#include "App/AppWiring.h"

#include <QClipboard>
#include <QGuiApplication>

#include "App/MenuBarController.h"
#include "App/ShortcutNames.h"
#include "Base/Localization.h"
#include "Capture/ScreenCaptureService.h"
#include "Export/ClipboardExporter.h"
#include "Export/ExportComposer.h"
#include "Export/FileExporter.h"
#include "Export/PendingImageMimeData.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Onboarding/OnboardingWindowController.h"
#include "Overlay/FullScreenHandover.h"
#include "Overlay/OverlayWindowController.h"
#include "Platform/Session.h"
#include "Platform/Wayland/WaylandSelection.h"
#include "Platform/XdgAutostart.h"
#include "Settings/Preferences.h"
#include "Settings/SettingsWindowController.h"
#include "UI/NotificationToast.h"
#include "UI/ToastPresenter.h"

namespace {

class OnboardingWindow : public WindowShowing {
public:
    explicit OnboardingWindow(PermissionService& permissions) : m_controller(permissions) {}
    void show() override { m_controller.show(); }

private:
    OnboardingWindowController m_controller;
};

// The settings window as the application controller shows it.
class SettingsWindowShowing final : public WindowShowing {
public:
    SettingsWindowShowing(Preferences& preferences, QPointer<DesktopShortcuts> desktopShortcuts)
        : m_controller(preferences, ShortcutNames::captureArea(), nullptr,
                       hooks(desktopShortcuts)) {}
    void show() override { m_controller.show(); }

private:
    static SettingsView::Hooks hooks(QPointer<DesktopShortcuts> desktopShortcuts) {
        SettingsView::Hooks h;
        h.desktopShortcuts = desktopShortcuts;
        return h;
    }
    SettingsWindowController m_controller;
};
// Offers what Tessik just put on the clipboard once more, with the serial of the keyboard's
// entry: with no key press or click behind it, Qt's own offer is refused by some compositors.
void offerClipboardAgain(WaylandSelection& selection) {
    const auto* pending =
        qobject_cast<const PendingImageMimeData*>(QGuiApplication::clipboard()->mimeData());
    if (!pending) return;
    selection.offer(pending->formats(), [bytes = pending->bytes()](const QString& type) {
        const auto outcome = bytes->wait(type, PendingImageMimeData::defaultWaitMs);
        return outcome && *outcome ? **outcome : QByteArray();
    });
}

}  // namespace

AppServices makeProductionServices(PlatformServices platform) {
    // Before anything touches a shortcut name: the launch sequence registers the hot key.
    if (platform.installGlobalShortcuts) platform.installGlobalShortcuts();
    if (platform.desktopShortcuts)
        platform.desktopShortcuts->describe(ShortcutNames::captureArea().rawValue,
                                            localized("Capture zone"));
    AppServices s;
    Preferences::installSharedLoginItems(std::make_shared<XdgAutostart>());
    s.preferences = &Preferences::shared();
    s.permissions = std::move(platform.permissions);
    s.screens = std::move(platform.screens);
    s.captureService = std::make_unique<ScreenCaptureService>(std::move(platform.displaySource));
    s.clipboardExporter = std::make_unique<ClipboardExporter>();
    s.clipboardServer = std::move(platform.clipboardServer);
    // A Wayland client can neither place a window nor keep it from taking the focus.
    if (Session::current() == SessionKind::wayland)
        s.toast = std::make_unique<NotificationToast>();
    else
        s.toast = std::make_unique<ToastPresenter>();
    if (platform.overlaysAsToplevels) {
        auto handover = std::make_shared<FullScreenHandover>();
        std::shared_ptr<WaylandSelection> selection = WaylandSelection::forApplication();
        s.handOverFullScreen = [handover, selection](
                                   const QList<DisplayCapture>& captures,
                                   std::function<void(const DisplayCapture&)> copy) {
            handover->present(captures, [copy, selection](const DisplayCapture& capture) {
                copy(capture);
                if (selection) offerClipboardAgain(*selection);
            });
        };
    }
    s.makeFileExporter = [](const QString& directory) -> std::unique_ptr<Exporter> {
        return std::make_unique<FileExporter>(directory);
    };
    s.overlay = std::make_unique<OverlayWindowController>(
        OverlayWindowController::Platform{platform.pointer, platform.fitWindowToPixels,
                                          platform.showFirstFrame, platform.overlaysAsToplevels});
    s.compose = [](const OverlayResult& r) -> std::expected<QImage, AnyError> {
        auto image = ExportComposer::compose(r.capture, r.selection, r.annotations);
        if (!image) return std::unexpected(AnyError(image.error()));
        return std::move(*image);
    };
    s.makeMenuBar = [](MenuBarActions actions) -> std::shared_ptr<void> {
        return std::make_shared<MenuBarController>(std::move(actions),
                                                   MenuShortcutHooks::captureArea());
    };
    s.onCaptureAreaShortcut = [](std::function<void()> action) {
        GlobalShortcuts::onKeyDown(ShortcutNames::captureArea(), std::move(action));
    };
    s.captureAreaShortcutText = [] {
        const auto shortcut = GlobalShortcuts::getShortcut(ShortcutNames::captureArea());
        return shortcut ? shortcut->nativeText() : QString();
    };
    s.makeSettingsWindow = [desktop = platform.desktopShortcuts](
                               Preferences& preferences) -> std::unique_ptr<WindowShowing> {
        return std::make_unique<SettingsWindowShowing>(preferences, desktop);
    };
    // Tests and benchmarks shorten the idle spell rather than wait a minute.
    bool set = false;
    const int idleMs = qEnvironmentVariableIntValue("TESSIK_IDLE_RELEASE_MS", &set);
    if (set && idleMs >= 0) s.idleReleaseDelay = std::chrono::milliseconds(idleMs);
    s.makeOnboardingWindow = [](PermissionService& permissions) {
        return std::make_unique<OnboardingWindow>(permissions);
    };
    return s;
}
