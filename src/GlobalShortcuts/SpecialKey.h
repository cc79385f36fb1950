#pragma once

#include <map>
#include <optional>

#include <QString>
#include <QtGlobal>

namespace GlobalShortcuts {

// The keys shown with a fixed glyph or name instead of the character the layout gives them.
enum class SpecialKey {
    returnKey,
    deleteKey,
    deleteForward,
    end,
    escape,
    help,
    home,
    space,
    tab,
    pageUp,
    pageDown,
    upArrow,
    rightArrow,
    downArrow,
    leftArrow,
    f1,
    f2,
    f3,
    f4,
    f5,
    f6,
    f7,
    f8,
    f9,
    f10,
    f11,
    f12,
    f13,
    f14,
    f15,
    f16,
    f17,
    f18,
    f19,
    f20,
    keypad0,
    keypad1,
    keypad2,
    keypad3,
    keypad4,
    keypad5,
    keypad6,
    keypad7,
    keypad8,
    keypad9,
    keypadClear,
    keypadDecimal,
    keypadDivide,
    keypadEnter,
    keypadEquals,
    keypadMinus,
    keypadMultiply,
    keypadPlus,
    // PC keys the original table lacks.
    f21,
    f22,
    f23,
    f24,
    contextualMenu,
};
inline constexpr int specialKeyCount = 58;

// Key code -> special key; built once on first use.
const std::map<qint64, SpecialKey>& keyToSpecialKeyMapping();
std::optional<SpecialKey> specialKey(qint64 keyCode);

QString presentableDescription(SpecialKey key);
// The menu key equivalent (function keys use the private-use characters U+F704...); none for
// the keypad.
std::optional<QString> appKitMenuItemKeyEquivalent(SpecialKey key);

}  // namespace GlobalShortcuts
