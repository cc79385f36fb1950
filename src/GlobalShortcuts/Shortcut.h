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

    // The compact glyph form, e.g. ⇧⌘2: the module's API and its error line.
    QString presentableDescription() const;
    QString description() const { return presentableDescription(); }
    // What a user reads, named the desktop's way through Qt's key names: "Ctrl+Maj+2" with Qt's
    // French translation loaded. A key the layout cannot name shows U+FFFD.
    QString nativeText() const;
    // The Qt key combination of that text (keypad keys carry the keypad modifier); none when the
    // key has no fixed name and the layout gives it no character.
    std::optional<QKeyCombination> keyCombination() const;
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
