#include "App/AppDelegate.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QScreen>
#include <QtConcurrent/QtConcurrentRun>

#include "App/IdleRelease.h"
#include "Base/Localization.h"
#include "Settings/Preferences.h"
#include "UI/AlertBox.h"

AppDelegate::AppDelegate(AppServices services, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {
    const bool complete = m_services.preferences && m_services.permissions && m_services.screens &&
                          m_services.captureService && m_services.clipboardExporter &&
                          m_services.toast && m_services.overlay && m_services.compose &&
                          m_services.makeFileExporter;
    if (!complete) qFatal("AppDelegate: a required service is missing");
    m_idleRelease = new IdleRelease(
        m_services.idleReleaseDelay,
        [this] { return m_work > 0 || m_services.overlay->hasSessions(); },
        [this] { releaseIdleMemory(); }, this);
    if (!m_services.hasKeyboard)
        m_services.hasKeyboard = [] { return QGuiApplication::focusWindow() != nullptr; };
    if (!m_services.alert) {
        m_services.alert = [](const QString& message, const QString& informativeText) {
            AlertBox::run(QMessageBox::Warning, message, informativeText);
        };
    }
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    if (m_services.makeMenuBar) {
        MenuBarActions actions;
        QPointer<AppDelegate> self(this);
        actions.captureArea = [self] {
            if (self) self->captureArea();
        };
        actions.captureFullScreen = [self] {
            if (self) self->captureFullScreen();
        };
        actions.openPreferences = [self] {
            if (self) self->showPreferences();
        };
        m_menuBarController = m_services.makeMenuBar(std::move(actions));
    }
    observeScreenChanges();
    registerGlobalShortcuts();
    configureOverlay();
    if (!m_services.permissions->hasAccess()) {
        showOnboarding();
        return;
    }
    showWelcomeOnFirstLaunch();
    // Fire and forget: nothing waits for the warm-up and its outcome is never reported.
    m_services.captureService->prewarm();
    m_services.overlay->prewarm();
    m_idleRelease->activity();
}

void AppDelegate::beginWork() {
    ++m_work;
    m_idleRelease->activity();
}

void AppDelegate::endWork() {
    m_work = std::max(0, m_work - 1);
    m_idleRelease->activity();
}

void AppDelegate::releaseIdleMemory() {
    m_services.overlay->releaseMemory();
    // The capture thread frees its buffers first; then the allocator gives the pages back.
    m_services.captureService->releaseMemory().then(this, [] { returnFreeMemoryToSystem(); });
}

void AppDelegate::showWelcomeOnFirstLaunch() {
    // Nothing opens at launch: once, the user is told what to press.
    if (m_services.preferences->welcomeShown()) return;
    const QString keys =
        m_services.captureAreaShortcutText ? m_services.captureAreaShortcutText() : QString();
    m_services.toast->showOnMainDisplay(
        keys.isEmpty() ? localized("Tessik est prêt : cliquez sur son icône pour capturer une zone")
                       : localized("Tessik est prêt : %1 pour capturer une zone").arg(keys));
    m_services.preferences->setWelcomeShown();
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
    m_idleRelease->activity();
}

void AppDelegate::configureOverlay() {
    QPointer<AppDelegate> self(this);
    m_services.overlay->onCancel = [self] {
        if (self) self->m_idleRelease->activity();
    };
    m_services.overlay->onComplete = [self](const OverlayResult& result, ExportAction action) {
        if (self) self->exportResult(result, action);
    };
    m_services.overlay->onCompleting = [self](const OverlayResult& result, ExportAction action) {
        if (self && action == ExportAction::copy) self->beginCopy(result);
    };
}

void AppDelegate::beginCopy(const OverlayResult& result) {
    // The clipboard is taken now, its bytes composed and encoded meanwhile.
    beginWork();
    m_pendingCopy =
        m_services.clipboardExporter->exportPending(QtConcurrent::run(m_services.compose, result));
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
    beginWork();
    m_services.captureService->captureAll(screens).then(
        this, [this](const CaptureExpected<QList<DisplayCapture>>& captures) {
            endWork();
            if (!captures) return handleCaptureFailure(captures.error());
            m_services.overlay->present(*captures, m_services.preferences->defaultAction());
        });
    // After a quiet spell the backing stores were given back: their fresh pages are touched
    // here, on this thread, while the capture thread reads the displays.
    m_services.overlay->prepareWindows();
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
    if (m_services.handOverFullScreen && !m_services.hasKeyboard()) return handOverFullScreen();
    const auto screen = m_services.screens->underMouse();
    if (!screen) {
        present(CaptureError::displayUnavailable());
        return;
    }
    beginWork();
    m_services.captureService->capture(*screen).then(
        this, [this](const CaptureExpected<DisplayCapture>& capture) {
            if (!capture) {
                endWork();
                return handleCaptureFailure(capture.error());
            }
            copyFullScreen(capture->image);
        });
}

void AppDelegate::handOverFullScreen() {
    // Every display is captured (one request to the portal), and the one to copy is known only
    // once the compositor shows where the user is.
    const QList<ScreenDescriptor> screens = m_services.screens->all();
    if (screens.isEmpty()) return present(CaptureError::displayUnavailable());
    beginWork();
    m_services.captureService->captureAll(screens).then(
        this, [this](const CaptureExpected<QList<DisplayCapture>>& captures) {
            if (!captures) {
                endWork();
                return handleCaptureFailure(captures.error());
            }
            QPointer<AppDelegate> self(this);
            m_services.handOverFullScreen(*captures, [self](const DisplayCapture& capture) {
                if (self) self->copyFullScreen(capture.image);
            });
        });
}

void AppDelegate::copyFullScreen(const QImage& image) {
    m_services.clipboardExporter->exportImage(image).then(this,
                                                          [this](const ExportOutcome& outcome) {
                                                              endWork();
                                                              if (!outcome)
                                                                  present(outcome.error());
                                                          });
}

void AppDelegate::handleCaptureFailure(const CaptureError& error) {
    if (error.kind == CaptureError::Case::cancelled) return;
    if (error.kind == CaptureError::Case::permissionDenied)
        showOnboarding();
    else
        present(error);
}

void AppDelegate::exportResult(const OverlayResult& result, ExportAction action) {
    if (action == ExportAction::copy && m_pendingCopy) {
        QFuture<ExportOutcome> copy = *std::exchange(m_pendingCopy, std::nullopt);
        const ScreenDescriptor screen = result.capture.screen;
        copy.then(this, [this, screen](const ExportOutcome& outcome) {
            endWork();
            if (!outcome) return present(outcome.error());
            m_services.toast->show(confirmation(ExportAction::copy), screen);
        });
        return;
    }
    beginWork();
    QtConcurrent::run(m_services.compose, result)
        .then(this, [this, result, action](const std::expected<QImage, AnyError>& image) {
            if (!image) {
                endWork();
                return present(image.error());
            }
            deliver(*image, result, action);
        });
}

void AppDelegate::deliver(const QImage& image, const OverlayResult& result, ExportAction action) {
    std::shared_ptr<Exporter> exporter;
    Exporter* target = m_services.clipboardExporter.get();
    QString folder;
    if (action == ExportAction::save) {
        // The save folder is read now, when the export starts.
        folder = m_services.preferences->saveDirectory();
        exporter = m_services.makeFileExporter(folder);
        target = exporter.get();
    }
    const ScreenDescriptor screen = result.capture.screen;
    target->exportImage(image).then(
        this, [this, exporter, action, screen, image, folder](const ExportOutcome& outcome) {
            endWork();
            if (outcome) return m_services.toast->show(confirmation(action), screen);
            if (action == ExportAction::save)
                return rescueFailedSave(image, folder, outcome.error());
            present(outcome.error());
        });
}

void AppDelegate::rescueFailedSave(const QImage& image, const QString& folder,
                                   const AnyError& error) {
    // The user may have annotated for minutes: the capture goes to the clipboard as a copy
    // would, and the alert says where it went.
    m_services.clipboardExporter->exportImage(image).then(
        this, [this, folder, error](const ExportOutcome& copied) {
            QString text = error.description();
            if (!text.endsWith('.')) text += '.';
            text += '\n' + localized("Dossier : %1").arg(QDir::toNativeSeparators(folder));
            if (copied) text += '\n' + localized("La capture a été copiée dans le presse-papiers.");
            m_services.alert(localized("Capture impossible"), text);
        });
}

void AppDelegate::present(const AnyError& error) {
    m_services.alert(localized("Capture impossible"), error.description());
}
