#include "Onboarding/OnboardingWindowController.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "Base/Localization.h"
#include "Capture/PermissionService.h"
#include "Onboarding/OnboardingView.h"

OnboardingWindowController::OnboardingWindowController(PermissionService& permissions,
                                                       std::chrono::milliseconds pollInterval)
    : m_permissions(permissions), m_pollInterval(pollInterval) {
}

OnboardingWindowController::~OnboardingWindowController() = default;

void OnboardingWindowController::show() {
    if (!m_window) buildWindow();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void OnboardingWindowController::buildWindow() {
    m_model = std::make_unique<OnboardingModel>(m_permissions, m_pollInterval);
    // Titled and closable only: no resizing, no minimise or maximise button.
    m_window = std::make_unique<OnboardingView>(*m_model);
    m_window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowCloseButtonHint);
    m_window->setWindowTitle(localized("Bienvenue dans Tessik"));
    // Closing hides the window; the controller keeps it for the next show().
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);

    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame(QPoint(), m_window->size());
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    // The system may show its own prompt; the answer is not needed.
    m_permissions.requestAccess();
}
