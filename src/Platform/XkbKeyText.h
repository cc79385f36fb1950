#pragma once

#include <optional>

#include <QString>

#include "GlobalShortcuts/Key.h"

struct xkb_keymap;

// What a physical key types in an xkbcommon keymap, however the keymap was obtained (the X
// server's, a Wayland compositor's, the system's default).
namespace XkbKeyText {

// The key's first-level symbol as text, in the first group that can type every Latin letter,
// so shortcuts read as they are typed even while a non-Latin group is active. None when the
// keymap has no such group or the key types no character there.
std::optional<QString> text(xkb_keymap* keymap, GlobalShortcuts::Key key);

}  // namespace XkbKeyText
