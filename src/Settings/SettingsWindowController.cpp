#include "Settings/SettingsWindowController.h"

#include <QApplication>
#include <QVBoxLayout>

#include "Base/DefaultsStore.h"
#include "Base/Localization.h"
#include "Settings/SettingsWindow.h"

SettingsWindowController::SettingsWindowController(Preferences& preferences,
                                                   GlobalShortcuts::Name shortcutName,
                                                   DefaultsStore* frames, SettingsView::Hooks hooks)
    : m_preferences(preferences),
      m_shortcutName(std::move(shortcutName)),
      m_hooks(std::move(hooks)) {
    if (!frames) {
        m_ownFrames = std::make_unique<DefaultsStore>();
        frames = m_ownFrames.get();
    }
    m_frames = frames;
}

SettingsWindowController::~SettingsWindowController() = default;

QString SettingsWindowController::title() {
    return localized("Réglages Tessik");
}

QString SettingsWindowController::frameAutosaveName() {
    return QStringLiteral("TessikSettingsWindow");
}

SettingsView* SettingsWindowController::view() const {
    return m_window ? m_window->findChild<SettingsView*>() : nullptr;
}

void SettingsWindowController::show() {
    if (!m_window) buildWindow();
    if (m_window->isMinimized()) m_window->showNormal();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SettingsWindowController::buildWindow() {
    auto window = std::make_unique<SettingsWindow>(*m_frames, frameAutosaveName());
    window->setWindowTitle(title());
    window->setObjectName(QStringLiteral("settingsWindow"));
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(new SettingsView(m_preferences, m_shortcutName, m_hooks, window.get()));
    window->adjustSize();
    window->restoreFrameAndCentre();
    m_window = std::move(window);
}
