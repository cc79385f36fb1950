#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

#include "GlobalShortcuts/Key.h"
#include "GlobalShortcuts/Shortcut.h"

// The freedesktop shortcut format the GlobalShortcuts portal takes as `preferred_trigger`:
// modifiers (CTRL, ALT, SHIFT, LOGO) and one xkbcommon key name joined by "+", e.g.
// "CTRL+SHIFT+2".
namespace XdgShortcutTrigger {

// What a key types on the user's layout without modifiers; none when unknown.
using LayoutText = std::function<std::optional<QString>(GlobalShortcuts::Key)>;

// The key's name on a US layout (the key code names a position); none for modifier keys, Caps
// Lock and keys without a PC counterpart.
std::optional<QString> keyName(GlobalShortcuts::Key key);

// The trigger of a stored shortcut. Command is CTRL, option ALT, control LOGO (the desktop
// convention of the stored form); the function modifier has no counterpart. None when the key
// has no name or the modifiers cannot be said. A letter key is named by the letter the layout
// gives it, so the desktop binds the key the user pressed.
std::optional<QString> preferredTrigger(const GlobalShortcuts::Shortcut& shortcut,
                                        const LayoutText& layoutText = {});

}  // namespace XdgShortcutTrigger
