#pragma once

#include <QString>

#include "Settings/LoginItems.h"

// Launch at login through XDG autostart: a desktop entry "tessik.desktop" in the user's autostart
// folder ($XDG_CONFIG_HOME/autostart). The item is on while that file exists and does not say
// Hidden=true (how desktops record that the user switched it off).
class XdgAutostart final : public LoginItems {
public:
    // The user's autostart folder and this executable.
    XdgAutostart();
    XdgAutostart(QString autostartDirectory, QString executable);

    Status status() const override;
    std::expected<void, LoginItemError> registerApp() override;
    std::expected<void, LoginItemError> unregisterApp() override;

    QString entryPath() const;
    // The desktop entry that starts `executable`.
    static QByteArray entryContents(const QString& executable);

    static QString userAutostartDirectory();

private:
    QString m_directory;
    QString m_executable;
};
