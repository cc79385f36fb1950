#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "GlobalShortcuts/HotKeyBackend.h"

// The running desktop's own global key bindings, as far as they can be read: GNOME's keybinding
// settings (through gsettings) and KDE's kglobalshortcutsrc. Elsewhere the list is empty.
namespace DesktopBindings {

// The bindings of the desktop named by XDG_CURRENT_DESKTOP; none when reading them failed.
std::optional<QList<GlobalShortcuts::SystemHotKey>> current();

// One GNOME accelerator such as "<Super>Up" or "<Primary><Alt>t"; none for what has no key code.
std::optional<GlobalShortcuts::SystemHotKey> parseGnomeAccelerator(const QString& accelerator);
// The output of `gsettings list-recursively SCHEMA`.
QList<GlobalShortcuts::SystemHotKey> parseGsettings(const QString& output);
// One KDE/Qt shortcut such as "Meta+E" or "Ctrl+Alt+T".
std::optional<GlobalShortcuts::SystemHotKey> parseKdeShortcut(const QString& shortcut);
// The contents of kglobalshortcutsrc: the active shortcuts of every action.
QList<GlobalShortcuts::SystemHotKey> parseKglobalshortcutsrc(const QString& contents);

}  // namespace DesktopBindings
