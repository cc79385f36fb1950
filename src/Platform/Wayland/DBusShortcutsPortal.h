#pragma once

#include <QDBusConnection>
#include <QObject>

#include "Platform/Wayland/ShortcutsPortal.h"

class QDBusMessage;

// org.freedesktop.portal.GlobalShortcuts on the session bus.
class DBusShortcutsPortal final : public QObject, public ShortcutsPortal {
    Q_OBJECT

public:
    explicit DBusShortcutsPortal(QDBusConnection bus = QDBusConnection::sessionBus());
    ~DBusShortcutsPortal() override;

    void setEvents(Events events) override { m_events = std::move(events); }
    void checkAvailable(std::function<void(bool)> done) override;
    void createSession(Answer<QString> done) override;
    void bindShortcuts(const QString& session, const QList<PortalShortcut>& shortcuts,
                       Answer<QList<PortalShortcut>> done) override;
    void closeSession(const QString& session) override;

    // How long the desktop may take: binding may wait for the user in a dialog.
    static constexpr int sessionTimeoutMs = 10000;
    static constexpr int bindTimeoutMs = 120000;

private slots:
    void activated(const QDBusMessage& message);
    void deactivated(const QDBusMessage& message);
    void shortcutsChanged(const QDBusMessage& message);
    void sessionClosed(const QDBusMessage& message);

private:
    void watchSession(const QString& session, bool watch);

    QDBusConnection m_bus;
    Events m_events;
};
