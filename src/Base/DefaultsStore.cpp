#include "Base/DefaultsStore.h"

namespace {
// QSettings' INI format keeps strings untyped; typed values are written in @Type(...) form and
// read back typed. Booleans written as "true"/"false" come back as strings, so accept those.
const char* const kBoolTrue = "true";
const char* const kBoolFalse = "false";
}  // namespace

DefaultsStore::DefaultsStore()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, "Tessik", "Tessik") {}

DefaultsStore::DefaultsStore(const QString& iniPath) : m_settings(iniPath, QSettings::IniFormat) {}

std::optional<QVariant> DefaultsStore::raw(const QString& key) const {
    if (!m_settings.contains(key)) return std::nullopt;
    return m_settings.value(key);
}

bool DefaultsStore::contains(const QString& key) const { return m_settings.contains(key); }

std::optional<QString> DefaultsStore::string(const QString& key) const {
    auto v = raw(key);
    if (!v || v->typeId() != QMetaType::QString) return std::nullopt;
    return v->toString();
}

std::optional<bool> DefaultsStore::boolean(const QString& key) const {
    auto v = raw(key);
    if (!v) return std::nullopt;
    if (v->typeId() == QMetaType::Bool) return v->toBool();
    if (v->typeId() == QMetaType::QString) {
        if (v->toString() == kBoolTrue) return true;
        if (v->toString() == kBoolFalse) return false;
    }
    return std::nullopt;
}

std::optional<QByteArray> DefaultsStore::data(const QString& key) const {
    auto v = raw(key);
    if (!v || v->typeId() != QMetaType::QByteArray) return std::nullopt;
    return v->toByteArray();
}

void DefaultsStore::setString(const QString& key, const QString& value) {
    m_settings.setValue(key, value);
}
void DefaultsStore::setBoolean(const QString& key, bool value) { m_settings.setValue(key, value); }
void DefaultsStore::setData(const QString& key, const QByteArray& value) {
    m_settings.setValue(key, value);
}
void DefaultsStore::remove(const QString& key) { m_settings.remove(key); }
void DefaultsStore::sync() { m_settings.sync(); }
