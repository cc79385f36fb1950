#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A session bus of the test's own (dbus-daemon, stopped with the fixture), activating nothing.
class PrivateBus {
public:
    PrivateBus() {
        const QString config = m_dir.filePath("bus.conf");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) return;
        file.write(QStringLiteral(
                       "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                       "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                       "busconfig.dtd\"><busconfig><type>session</type><listen>unix:path=%1</"
                       "listen><policy context=\"default\"><allow send_destination=\"*\" "
                       "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></"
                       "policy></busconfig>")
                       .arg(m_dir.filePath("bus"))
                       .toUtf8());
        file.close();
        m_daemon.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address"});
        if (!m_daemon.waitForReadyRead(10000)) return;
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const QString& name : m_connections) QDBusConnection::disconnectFromBus(name);
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }

    bool isRunning() const { return !m_address.isEmpty(); }

    // A new connection of its own to this bus, under a name unique to this fixture.
    QDBusConnection connect(const QString& role) {
        const QString name = QStringLiteral("%1-%2").arg(role).arg(quintptr(this));
        m_connections.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};
