#pragma once

#include <optional>

#include <QKeySequence>
#include <QString>

#include "GlobalShortcuts/Modifiers.h"

class QAction;

namespace GlobalShortcuts {

// A menu item's key equivalent as the module reasons about it: one character (a letter in the
// case the item shows, or a special key's equivalent such as U+F704 for F1) and event modifiers.
struct MenuKeyEquivalent {
    QString key;
    EventModifierFlags modifiers = 0;
    friend bool operator==(const MenuKeyEquivalent&, const MenuKeyEquivalent&) = default;
};

// Whether an item with this key equivalent already uses the shortcut given by its key equivalent
// and modifiers. A shifted letter shows as an upper-case letter, so an upper-case key equivalent
// counts as the lower-case one with shift when the shortcut has shift.
bool keyEquivalentMatches(MenuKeyEquivalent item, const QString& shortcutKey,
                          EventModifierFlags shortcutModifiers);

// Between QAction key sequences and key equivalents. Qt letter keys carry their case in the
// Shift modifier, so they read as lower-case letters.
MenuKeyEquivalent keyEquivalent(const QAction& item);
QKeySequence keySequence(const MenuKeyEquivalent& equivalent);

}  // namespace GlobalShortcuts
