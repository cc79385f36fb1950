#pragma once

#include <optional>

#include <QMetaType>
#include <QString>

#include "GlobalShortcuts/Shortcut.h"

namespace GlobalShortcuts {

// One user-configurable global shortcut, stored under "GlobalShortcuts_" + rawValue. Names are
// equal when their raw values are; the default takes no part in equality.
struct Name {
    QString rawValue;
    std::optional<Shortcut> defaultShortcut;

    // An empty name, for containers and variants; touches nothing.
    Name() = default;
    // Stores the default when nothing at all is stored for the name yet (which registers its hot
    // key and posts the change notification), then sets up the module once.
    explicit Name(const QString& name, std::optional<Shortcut> defaultValue = std::nullopt);
    static Name fromRawValue(const QString& rawValue);

    friend bool operator==(const Name& a, const Name& b) { return a.rawValue == b.rawValue; }

    std::optional<Shortcut> shortcut() const;
    void setShortcut(const std::optional<Shortcut>& shortcut) const;
};

inline size_t qHash(const Name& name, size_t seed = 0) {
    return ::qHash(name.rawValue, seed);
}

}  // namespace GlobalShortcuts

template <>
struct std::hash<GlobalShortcuts::Name> {
    size_t operator()(const GlobalShortcuts::Name& n) const { return qHash(n); }
};

Q_DECLARE_METATYPE(GlobalShortcuts::Name)
