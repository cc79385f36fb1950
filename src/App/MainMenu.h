#pragma once

#include <memory>

#include <QMenu>

// The two top-level menus of the main menu: the application menu (about, settings, services,
// hide, quit) and the edit menu. Each QMenu is the top-level item; its menuAction() carries the
// title. Actions carry the name of the message they send as their objectName ("showPreferences",
// "terminate", "copy"…), so the owner can find and answer them.
namespace MainMenu {

std::unique_ptr<QMenu> makeApplicationMenuItem();
std::unique_ptr<QMenu> makeEditMenuItem();

// The action of `menu` (or of its submenus) named `message`, or null.
QAction* action(const QMenu& menu, const char* message);

// Sends an edit message ("undo", "copy", "delete"…) to the focused widget or the nearest of its
// parents that answers it; does nothing when none does. Returns whether one answered.
bool sendToFocusedWidget(const char* message);

}  // namespace MainMenu
