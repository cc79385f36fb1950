#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

#include "GlobalShortcuts/Key.h"
#include "GlobalShortcuts/Modifiers.h"

class QAction;
class QKeyEvent;
class QMenu;

namespace GlobalShortcuts {

struct Name;

// One key combination: a physical key (virtual key code) and classic modifier bits.
struct Shortcut {
    qint64 carbonKeyCode = 0;
    qint64 carbonModifiers = 0;

    Shortcut() = default;
    // The modifiers are normalized: only the five modifier bits are kept.
    Shortcut(qint64 keyCode, qint64 modifiers);
    explicit Shortcut(Key key, EventModifierFlags modifiers = 0);
    // The two integers exactly as given, as the decoder reads them.
    static Shortcut unnormalized(qint64 keyCode, qint64 modifiers);
    // The shortcut stored for the name, or none.
    static std::optional<Shortcut> forName(const Name& name);
    // A key press or release: its physical key and modifiers; none for other events or keys
    // that have no key code.
    static std::optional<Shortcut> fromEvent(const QKeyEvent& event);

    friend bool operator==(const Shortcut&, const Shortcut&) = default;

    EventModifierFlags modifiers() const { return eventFlags(carbonModifiers); }
    Key key() const { return Key(carbonKeyCode); }

    // Coded form: {"carbonKeyCode":19,"carbonModifiers":768}. Decoding needs both members as
    // integers, in any order, and ignores others.
    QByteArray encoded() const;
    static std::optional<Shortcut> decoded(const QByteArray& json);
    // A key of the key table and modifiers that fit the platform's unsigned 32-bit field: what a
    // stored value must be to stand for a hot key at all. Anything else stored is damage.
    bool isWellFormed() const;

    // What the user sees, e.g. ⇧⌘2.
    QString presentableDescription() const;
    QString description() const { return presentableDescription(); }
    // The character the key types on the current layout without modifiers (one grapheme).
    std::optional<QString> keyToCharacter() const;
    // The key equivalent a menu item shows for this key.
    std::optional<QString> nsMenuItemKeyEquivalent() const;
    // The first item of the menu tree (depth first) already using this shortcut.
    QAction* menuItemWithMatchingShortcut(const QMenu* menu) const;
};

inline size_t qHash(const Shortcut& s, size_t seed = 0) {
    return ::qHashMulti(seed, s.carbonKeyCode, s.carbonModifiers);
}

}  // namespace GlobalShortcuts

template <>
struct std::hash<GlobalShortcuts::Shortcut> {
    size_t operator()(const GlobalShortcuts::Shortcut& s) const { return qHash(s); }
};

Q_DECLARE_METATYPE(GlobalShortcuts::Shortcut)
