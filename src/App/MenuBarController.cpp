#include "App/MenuBarController.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>

#include "App/MenuBarIcon.h"
#include "App/ShortcutNames.h"
#include "Base/Localization.h"
#include "Design/TessikColor.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/Session.h"

// The resources live in a static library, so their registration must be asked for by name.
static void initTessikResources() {
    Q_INIT_RESOURCE(tessik);
}

MenuShortcutHooks MenuShortcutHooks::captureArea() {
    using namespace GlobalShortcuts;
    MenuShortcutHooks hooks;
    hooks.bindCaptureAreaItem = [](QAction* item) {
        setShortcutFor(item, ShortcutNames::captureArea());
    };
    hooks.disableCaptureArea = [] { disable(ShortcutNames::captureArea()); };
    hooks.enableCaptureArea = [] { enable(ShortcutNames::captureArea()); };
    hooks.isCaptureAreaKey = [](const QKeyEvent& event) {
        const auto pressed = Shortcut::fromEvent(event);
        return pressed && pressed == getShortcut(ShortcutNames::captureArea());
    };
    return hooks;
}

MenuBarController::MenuBarController(MenuBarActions actions, MenuShortcutHooks hooks,
                                     QString iconPath, QObject* parent)
    : QObject(parent),
      m_actions(std::move(actions)),
      m_hooks(std::move(hooks)),
      m_iconPath(std::move(iconPath)),
      m_menu(std::make_unique<QMenu>()),
      m_statusItem(std::make_unique<QSystemTrayIcon>()) {
    initTessikResources();
    configureButton();
    buildMenu();
    showToolTip();
    connect(m_menu.get(), &QMenu::aboutToShow, this, &MenuBarController::menuWillOpen);
    connect(m_menu.get(), &QMenu::aboutToHide, this, &MenuBarController::menuDidClose);
    m_statusItem->setContextMenu(m_menu.get());
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this, &MenuBarController::activated);
    // The tint follows the desktop theme when it changes while running.
    qApp->installEventFilter(this);
    m_menu->installEventFilter(this);
    // With no tray host yet, Qt docks the icon by itself once one appears.
    m_statusItem->show();
}

MenuBarController::~MenuBarController() {
    m_statusItem->setContextMenu(nullptr);
}

QString MenuBarController::toolTip(const QKeySequence& captureAreaKeys) {
    if (captureAreaKeys.isEmpty())
        return QStringLiteral("Tessik — ") +
               localized("Capturez une zone, annotez-la, partagez-la.");
    return QStringLiteral("Tessik — ") +
           localized("%1 pour capturer une zone")
               .arg(captureAreaKeys.toString(QKeySequence::NativeText));
}

void MenuBarController::showToolTip() {
    // The menu item's keys are the stored shortcut's, kept in step by the shortcut module.
    const auto* area = m_menu->findChild<QAction*>(QStringLiteral("performCaptureArea"));
    m_statusItem->setToolTip(toolTip(area ? area->shortcut() : QKeySequence()));
}

void MenuBarController::configureButton() {
    const QColor tint = MenuBarIcon::panelTint();
    if (auto icon = MenuBarIcon::load(m_iconPath, tint)) {
        m_statusItem->setIcon(*icon);
        m_usesFallbackIcon = false;
    } else {
        m_statusItem->setIcon(MenuBarIcon::fallback(tint));
        m_usesFallbackIcon = true;
    }
    showToolTip();
}

namespace {

// A compact menu in the desktop's colours: no empty icon column, the pointed item in the accent.
QString menuStyleSheet() {
    const QString accent = TessikColor::accent().name();
    return QStringLiteral(
               "QMenu { background: palette(window); color: palette(window-text);"
               " border: 1px solid palette(mid); padding: 5px 0; }"
               "QMenu::item { padding: 5px 22px 5px 14px; margin: 0 5px; border-radius: 4px; }"
               "QMenu::item:selected { background: %1; color: white; }"
               "QMenu::item:disabled { color: palette(mid); }"
               "QMenu::separator { height: 1px; background: palette(midlight); margin: 5px 12px; }")
        .arg(accent);
}

}  // namespace

void MenuBarController::buildMenu() {
    m_menu->setStyleSheet(menuStyleSheet());
    QAction* area = m_menu->addAction(localized("Capture zone"));
    area->setObjectName(QStringLiteral("performCaptureArea"));
    connect(area, &QAction::triggered, this, &MenuBarController::performCaptureArea);
    if (m_hooks.bindCaptureAreaItem) m_hooks.bindCaptureAreaItem(area);
    connect(area, &QAction::changed, this, &MenuBarController::showToolTip);

    QAction* fullScreen = m_menu->addAction(localized("Capture plein écran"));
    fullScreen->setObjectName(QStringLiteral("performCaptureFullScreen"));
    connect(fullScreen, &QAction::triggered, this, &MenuBarController::performCaptureFullScreen);

    m_menu->addSeparator();
    QAction* preferences = m_menu->addAction(localized("Réglages…"));
    preferences->setObjectName(QStringLiteral("performOpenPreferences"));
    preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(preferences, &QAction::triggered, this, &MenuBarController::performOpenPreferences);

    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(localized("Quitter Tessik"));
    quit->setObjectName(QStringLiteral("terminate"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);
}

void MenuBarController::performCaptureArea() {
    if (m_actions.captureArea) m_actions.captureArea();
}

void MenuBarController::performCaptureFullScreen() {
    if (m_actions.captureFullScreen) m_actions.captureFullScreen();
}

void MenuBarController::performOpenPreferences() {
    if (m_actions.openPreferences) m_actions.openPreferences();
}

void MenuBarController::menuWillOpen() {
    if (m_hooks.disableCaptureArea) m_hooks.disableCaptureArea();
}

void MenuBarController::menuDidClose() {
    if (m_hooks.enableCaptureArea) m_hooks.enableCaptureArea();
}

void MenuBarController::activated(QSystemTrayIcon::ActivationReason reason) {
    // Qt opens the context menu on a right click only; the tray item's menu opens on a left
    // click too. A click soon after the menu closed arrives as a double click: it opens it too.
    const bool click = reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
    if (!click || m_menu->isVisible()) return;
    // A Wayland client knows no pointer position and cannot place a menu of no window: it would
    // open as an ordinary window. There the panel shows the exported menu itself.
    if (Session::current() == SessionKind::wayland) return;
    m_menu->popup(QCursor::pos());
}

QAction* MenuBarController::itemForKey(const QKeyEvent& event) const {
    const auto area = m_menu->findChild<QAction*>(QStringLiteral("performCaptureArea"));
    if (m_hooks.isCaptureAreaKey && m_hooks.isCaptureAreaKey(event)) return area;
    const QKeyCombination pressed(event.modifiers() & ~Qt::KeypadModifier, Qt::Key(event.key()));
    for (QAction* item : m_menu->actions()) {
        if (item == area && m_hooks.isCaptureAreaKey) continue;
        if (item->isEnabled() && !item->shortcut().isEmpty() && item->shortcut()[0] == pressed)
            return item;
    }
    return nullptr;
}

bool MenuBarController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) configureButton();
    // A popup menu that belongs to no window gets no shortcut handling from Qt: while it is open
    // its key equivalents are matched here, and choosing one closes the menu first.
    if (watched == m_menu.get() && event->type() == QEvent::KeyPress) {
        if (QAction* item = itemForKey(*static_cast<QKeyEvent*>(event))) {
            m_menu->hide();
            item->trigger();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
