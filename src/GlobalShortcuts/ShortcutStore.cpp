#include "GlobalShortcuts/ShortcutStore.h"

#include <QCoreApplication>
#include <QSettings>

namespace GlobalShortcuts {

namespace {
class SettingsStore final : public ShortcutStore {
public:
    SettingsStore()
        : m_settings(QSettings::IniFormat, QSettings::UserScope,
                     QCoreApplication::organizationName(), QCoreApplication::applicationName()) {}

    std::optional<QString> string(const QString& key) const override {
        if (!m_settings.contains(key)) return std::nullopt;
        const QVariant value = m_settings.value(key);
        if (!value.canConvert<QString>()) return std::nullopt;
        // INI keeps a Boolean as "true"/"false": the coded form can never be mistaken for it.
        return value.toString();
    }
    bool contains(const QString& key) const override { return m_settings.contains(key); }
    void setString(const QString& key, const QString& value) override { write(key, value); }
    void setBoolean(const QString& key, bool value) override { write(key, value); }
    void remove(const QString& key) override {
        m_settings.remove(key);
        m_settings.sync();
    }
    QStringList keys() const override { return m_settings.allKeys(); }

private:
    void write(const QString& key, const QVariant& value) {
        m_settings.setValue(key, value);
        // Written at once: another process (or a crash) must not see a stale shortcut.
        m_settings.sync();
    }
    mutable QSettings m_settings;
};

std::unique_ptr<ShortcutStore>& slot() {
    static std::unique_ptr<ShortcutStore> current;
    return current;
}
}  // namespace

std::unique_ptr<ShortcutStore> makeSettingsStore() {
    return std::make_unique<SettingsStore>();
}

ShortcutStore& store() {
    if (!slot()) slot() = makeSettingsStore();
    return *slot();
}

void setStore(std::unique_ptr<ShortcutStore> s) {
    slot() = std::move(s);
}

}  // namespace GlobalShortcuts
