#pragma once

#include <optional>

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>

// The user-defaults store: Tessik's own settings file (INI, under the XDG config directory).
// Reads are typed: a value of the wrong type reads as absent, never as a coerced guess, so a
// damaged file can never stop the application.
class DefaultsStore {
public:
    // The application's own store ("Tessik"/"Tessik").
    DefaultsStore();
    // A store over a given file, for tests.
    explicit DefaultsStore(const QString& iniPath);

    bool contains(const QString& key) const;
    std::optional<QString> string(const QString& key) const;
    std::optional<bool> boolean(const QString& key) const;
    std::optional<QByteArray> data(const QString& key) const;

    void setString(const QString& key, const QString& value);
    void setBoolean(const QString& key, bool value);
    void setData(const QString& key, const QByteArray& value);
    void remove(const QString& key);
    void sync();

    QString fileName() const { return m_settings.fileName(); }

private:
    std::optional<QVariant> raw(const QString& key) const;
    mutable QSettings m_settings;
};
