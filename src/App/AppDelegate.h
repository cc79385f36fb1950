#pragma once

#include <memory>
#include <optional>

#include <QObject>

#include "App/AppCommand.h"
#include "App/AppServices.h"

// The application controller: owns every long-lived service, runs the two capture commands and
// the export, and shows every failure in the one alert. Main thread only.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(AppServices services, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    static bool applicationShouldTerminateAfterLastWindowClosed() { return false; }

    void showPreferences();
    void registerGlobalShortcuts();
    void showWelcomeOnFirstLaunch();
    void observeScreenChanges();
    void configureOverlay();

    void captureArea();
    void captureFullScreen();
    // A command from the command line; quitting goes through the normal termination.
    void perform(AppCommand command);
    // `export` is a keyword in C++.
    void exportResult(const OverlayResult& result, ExportAction action);
    void present(const AnyError& error);

    OverlayPresenting& overlayWindowController() { return *m_services.overlay; }

private:
    void screenParametersChanged();
    void showOnboarding();
    void handleCaptureFailure(const CaptureError& error);
    void beginCopy(const OverlayResult& result);
    void handOverFullScreen();
    void copyFullScreen(const QImage& image);
    void deliver(const QImage& image, const OverlayResult& result, ExportAction action);
    void rescueFailedSave(const QImage& image, const QString& folder, const AnyError& error);
    void watchScreen(class QScreen* screen);
    // Captures and exports under way: the idle release waits for them.
    void beginWork();
    void endWork();
    void releaseIdleMemory();

    AppServices m_services;
    std::unique_ptr<WindowShowing> m_settingsWindowController;
    std::unique_ptr<WindowShowing> m_onboardingWindowController;
    std::shared_ptr<void> m_menuBarController;
    bool m_terminated = false;
    int m_work = 0;
    class IdleRelease* m_idleRelease = nullptr;  // a child
    // The copy begun while the overlays still had the keyboard, until they report it.
    std::optional<QFuture<ExportOutcome>> m_pendingCopy;
};
