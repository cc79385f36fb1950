#pragma once

#include <memory>
#include <optional>

#include <QString>

#include "GlobalShortcuts/Key.h"

namespace GlobalShortcuts {

// The keyboard layout shortcuts are typed with: what a physical key types without modifiers.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    // The text of the key's first level in the current ASCII-capable layout; none when there is
    // no such layout or the key cannot be translated. Asked afresh at every call.
    virtual std::optional<QString> text(Key key) const = 0;
};

// Installed once at start-up; without one no key has a character.
void setKeyboardLayout(std::unique_ptr<KeyboardLayout> layout);
const KeyboardLayout* keyboardLayout();

}  // namespace GlobalShortcuts
