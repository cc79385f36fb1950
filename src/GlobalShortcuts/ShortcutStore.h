#pragma once

#include <memory>
#include <optional>

#include <QString>
#include <QStringList>

namespace GlobalShortcuts {

// The persistent string-keyed store the shortcuts live in (the application's user defaults).
class ShortcutStore {
public:
    virtual ~ShortcutStore() = default;
    // The entry as text; a stored number or Boolean reads as its text.
    virtual std::optional<QString> string(const QString& key) const = 0;
    virtual bool contains(const QString& key) const = 0;
    virtual void setString(const QString& key, const QString& value) = 0;
    virtual void setBoolean(const QString& key, bool value) = 0;
    virtual void remove(const QString& key) = 0;
    virtual QStringList keys() const = 0;
};

// The application's settings file (its organisation and application names, INI format).
std::unique_ptr<ShortcutStore> makeSettingsStore();

// The store in use: the settings file unless another was installed (tests).
ShortcutStore& store();
void setStore(std::unique_ptr<ShortcutStore> store);

}  // namespace GlobalShortcuts
