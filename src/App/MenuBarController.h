#pragma once

#include <functional>
#include <memory>

#include <QIcon>
#include <QKeySequence>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include "App/AppServices.h"

class QAction;

class QKeyEvent;
class QMenu;

// What the tray menu needs of the global shortcut of the area capture. Filled from the shortcut
// module when the application is wired; tests pass their own.
struct MenuShortcutHooks {
    // Keeps the item's key equivalent in step with the stored global shortcut.
    std::function<void(QAction*)> bindCaptureAreaItem;
    // The hot key is switched off while the menu is open, so the chord selects the menu item
    // instead of firing twice.
    std::function<void()> disableCaptureArea;
    std::function<void()> enableCaptureArea;
    // Whether a key press inside the open menu is the global shortcut (by physical key, as the
    // hot key is); without it the item's key sequence is compared.
    std::function<bool(const QKeyEvent&)> isCaptureAreaKey;

    // The hooks of the area capture's global shortcut, from the shortcut module.
    static MenuShortcutHooks captureArea();
};

// The tray item and its menu: area capture, full-screen capture, settings and quit.
class MenuBarController : public QObject {
    Q_OBJECT

public:
    static constexpr const char* defaultIconPath = ":/MenuBarIcon.svg";

    explicit MenuBarController(MenuBarActions actions, MenuShortcutHooks hooks = {},
                               QString iconPath = defaultIconPath, QObject* parent = nullptr);
    ~MenuBarController() override;

    QSystemTrayIcon& statusItem() { return *m_statusItem; }
    QMenu& menu() { return *m_menu; }
    // True when the icon had to fall back to the text "[ ]" because the image is missing.
    bool usesFallbackIcon() const { return m_usesFallbackIcon; }

    void performCaptureArea();
    void performCaptureFullScreen();
    void performOpenPreferences();

    // The tray's tool tip: the name and the area capture's shortcut ("Tessik — Ctrl+Maj+2 pour
    // capturer une zone"), or a one-line tagline when there is none.
    static QString toolTip(const QKeySequence& captureAreaKeys = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void configureButton();
    void showToolTip();
    void buildMenu();
    void menuWillOpen();
    void menuDidClose();
    void activated(QSystemTrayIcon::ActivationReason reason);
    QAction* itemForKey(const QKeyEvent& event) const;

    MenuBarActions m_actions;
    MenuShortcutHooks m_hooks;
    QString m_iconPath;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    bool m_usesFallbackIcon = false;
};
