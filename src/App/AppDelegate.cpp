#include "App/AppDelegate.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QtConcurrent/QtConcurrentRun>

#include "Base/Localization.h"
#include "Settings/Preferences.h"

AppDelegate::AppDelegate(AppServices services, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {
    const bool complete = m_services.preferences && m_services.permissions &&
                          m_services.screens && m_services.captureService &&
                          m_services.clipboardExporter && m_services.toast &&
                          m_services.overlay && m_services.compose && m_services.makeFileExporter;
    if (!complete) qFatal("AppDelegate: a required service is missing");
    if (!m_services.alert) {
        m_services.alert = [](const QString& message, const QString& informativeText) {
            QMessageBox box(QMessageBox::Warning, message, message, QMessageBox::Ok);
            box.setInformativeText(informativeText);
            box.setWindowFlag(Qt::WindowStaysOnTopHint);
            box.show();
            box.raise();
            box.activateWindow();
            box.exec();
        };
    }
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    if (m_services.makeMenuBar) {
        MenuBarActions actions;
        QPointer<AppDelegate> self(this);
        actions.captureArea = [self] { if (self) self->captureArea(); };
        actions.captureFullScreen = [self] { if (self) self->captureFullScreen(); };
        actions.openPreferences = [self] { if (self) self->showPreferences(); };
        m_menuBarController = m_services.makeMenuBar(std::move(actions));
    }
    observeScreenChanges();
    registerGlobalShortcuts();
    configureOverlay();
    if (!m_services.permissions->hasAccess()) {
        showOnboarding();
        return;
    }
    // Fire and forget: nothing waits for the warm-up and its outcome is never reported.
    m_services.captureService->prewarm();
    m_services.overlay->prewarm();
}

void AppDelegate::applicationWillTerminate() {
    if (m_terminated) return;
    m_terminated = true;
    m_services.preferences->releaseSaveDirectoryAccess();
}

void AppDelegate::showPreferences() {
    if (!m_services.makeSettingsWindow) return;
    if (!m_settingsWindowController)
        m_settingsWindowController = m_services.makeSettingsWindow(*m_services.preferences);
    if (m_settingsWindowController) m_settingsWindowController->show();
}

void AppDelegate::showOnboarding() {
    if (!m_services.makeOnboardingWindow) return;
    if (!m_onboardingWindowController)
        m_onboardingWindowController = m_services.makeOnboardingWindow(*m_services.permissions);
    if (m_onboardingWindowController) m_onboardingWindowController->show();
}

void AppDelegate::registerGlobalShortcuts() {
    if (!m_services.onCaptureAreaShortcut) return;
    QPointer<AppDelegate> self(this);
    m_services.onCaptureAreaShortcut([self] {
        if (self) self->captureArea();
    });
}

void AppDelegate::observeScreenChanges() {
    // Qt reports a configuration change as several signals; they all lead to the same refresh.
    auto* app = qGuiApp;
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen* s) {
        watchScreen(s);
        screenParametersChanged();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &AppDelegate::screenParametersChanged);
    connect(app, &QGuiApplication::primaryScreenChanged, this,
            &AppDelegate::screenParametersChanged);
    for (QScreen* s : QGuiApplication::screens()) watchScreen(s);
}

void AppDelegate::watchScreen(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &AppDelegate::screenParametersChanged);
    connect(screen, &QScreen::physicalDotsPerInchChanged, this,
            &AppDelegate::screenParametersChanged);
}

void AppDelegate::screenParametersChanged() {
    // The service runs its calls in order, so the warm-up sees the emptied cache.
    m_services.captureService->invalidateCachedContent();
    m_services.captureService->prewarm();
    m_services.overlay->prewarm();
}

void AppDelegate::configureOverlay() {
    QPointer<AppDelegate> self(this);
    m_services.overlay->onCancel = [] {};
    m_services.overlay->onComplete = [self](const OverlayResult& result, ExportAction action) {
        if (self) self->exportResult(result, action);
    };
}

void AppDelegate::captureArea() {
    if (m_services.overlay->hasSessions()) return;
    if (!m_services.permissions->hasAccess()) {
        showOnboarding();
        return;
    }
    const QList<ScreenDescriptor> screens = m_services.screens->all();
    if (screens.isEmpty()) {
        present(CaptureError::displayUnavailable());
        return;
    }
    m_services.captureService->captureAll(screens).then(
        this, [this](const CaptureExpected<QList<DisplayCapture>>& captures) {
            if (!captures) return handleCaptureFailure(captures.error());
            m_services.overlay->present(*captures, m_services.preferences->defaultAction());
        });
}

void AppDelegate::perform(AppCommand command) {
    switch (command) {
        case AppCommand::captureArea:
            captureArea();
            break;
        case AppCommand::captureScreen:
            captureFullScreen();
            break;
        case AppCommand::showSettings:
            showPreferences();
            break;
        case AppCommand::quit:
            QCoreApplication::quit();
            break;
        case AppCommand::none:
            break;
    }
}

void AppDelegate::captureFullScreen() {
    if (!m_services.permissions->hasAccess()) {
        showOnboarding();
        return;
    }
    const auto screen = m_services.screens->underMouse();
    if (!screen) {
        present(CaptureError::displayUnavailable());
        return;
    }
    m_services.captureService->capture(*screen).then(
        this, [this](const CaptureExpected<DisplayCapture>& capture) {
            if (!capture) return handleCaptureFailure(capture.error());
            m_services.clipboardExporter->exportImage(capture->image)
                .then(this, [this](const ExportOutcome& outcome) {
                    if (!outcome) present(outcome.error());
                });
        });
}

void AppDelegate::handleCaptureFailure(const CaptureError& error) {
    if (error.kind == CaptureError::Case::permissionDenied)
        showOnboarding();
    else
        present(error);
}

void AppDelegate::exportResult(const OverlayResult& result, ExportAction action) {
    QtConcurrent::run(m_services.compose, result)
        .then(this, [this, result, action](const std::expected<QImage, AnyError>& image) {
            if (!image) return present(image.error());
            deliver(*image, result, action);
        });
}

void AppDelegate::deliver(const QImage& image, const OverlayResult& result, ExportAction action) {
    std::shared_ptr<Exporter> exporter;
    Exporter* target = m_services.clipboardExporter.get();
    if (action == ExportAction::save) {
        // The save folder is read now, when the export starts.
        exporter = m_services.makeFileExporter(m_services.preferences->saveDirectory());
        target = exporter.get();
    }
    const ScreenDescriptor screen = result.capture.screen;
    target->exportImage(image).then(this, [this, exporter, action, screen](const ExportOutcome& outcome) {
        if (!outcome) return present(outcome.error());
        m_services.toast->show(confirmation(action), screen);
    });
}

void AppDelegate::present(const AnyError& error) {
    m_services.alert(localized("Capture impossible"), error.description());
}
