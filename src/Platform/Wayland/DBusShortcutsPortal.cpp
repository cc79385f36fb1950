#include "Platform/Wayland/DBusShortcutsPortal.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include "Platform/Wayland/PortalRequest.h"

namespace {
const QString kDesktop = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");

// One (sa{sv}) element of a shortcut list on the bus.
struct ShortcutEntry {
    QString id;
    QVariantMap properties;
};
}  // namespace

Q_DECLARE_METATYPE(ShortcutEntry)

namespace {
QDBusArgument& operator<<(QDBusArgument& argument, const ShortcutEntry& entry) {
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ShortcutEntry& entry) {
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

QString text(const QVariantMap& properties, const QString& key) {
    const QVariant value = properties.value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

// A shortcut list as the portal sends it; anything of another shape reads as none.
QList<PortalShortcut> shortcutList(const QVariant& value) {
    QList<PortalShortcut> shortcuts;
    if (value.userType() != qMetaTypeId<QDBusArgument>()) return shortcuts;
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(sa{sv})")) return shortcuts;
    argument.beginArray();
    while (!argument.atEnd()) {
        ShortcutEntry entry;
        argument >> entry;
        shortcuts.append({entry.id, text(entry.properties, QStringLiteral("description")),
                          text(entry.properties, QStringLiteral("trigger_description"))});
    }
    argument.endArray();
    return shortcuts;
}

// Session handles come as object paths or, from older portals, as strings.
QString handle(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QString sessionOf(const QDBusMessage& message) {
    return message.arguments().isEmpty() ? QString() : handle(message.arguments().constFirst());
}

// The answer's response code; a request that got none failed, as code 2 says.
uint responseCode(const PortalRequest::Answer& answer) {
    return answer ? answer->code : PortalRequest::other;
}

QDBusMessage portalCall(const QString& method) {
    return QDBusMessage::createMethodCall(kDesktop, kPath, kInterface, method);
}
}  // namespace

DBusShortcutsPortal::DBusShortcutsPortal(QDBusConnection bus) : m_bus(std::move(bus)) {
    qDBusRegisterMetaType<ShortcutEntry>();
    qDBusRegisterMetaType<QList<ShortcutEntry>>();
    m_bus.connect(kDesktop, kPath, kInterface, QStringLiteral("Activated"), this,
                  SLOT(activated(QDBusMessage)));
    m_bus.connect(kDesktop, kPath, kInterface, QStringLiteral("Deactivated"), this,
                  SLOT(deactivated(QDBusMessage)));
    m_bus.connect(kDesktop, kPath, kInterface, QStringLiteral("ShortcutsChanged"), this,
                  SLOT(shortcutsChanged(QDBusMessage)));
}

DBusShortcutsPortal::~DBusShortcutsPortal() = default;

void DBusShortcutsPortal::checkAvailable(std::function<void(bool)> done) {
    // The frontend exports the interface only when a backend of this desktop implements it.
    QDBusMessage get = QDBusMessage::createMethodCall(
        kDesktop, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kInterface << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(get, sessionTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, done] {
        watcher->deleteLater();
        done(!watcher->isError());
    });
}

void DBusShortcutsPortal::createSession(Answer<QString> done) {
    QDBusMessage call = portalCall(QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("session_handle_token"), PortalRequest::newToken()}};
    PortalRequest::start(
        m_bus, call, 0, sessionTimeoutMs, this, [this, done](const PortalRequest::Answer& answer) {
            if (const uint code = responseCode(answer); code != PortalRequest::success)
                return done(std::unexpected(int(code)));
            const QString session = handle(answer->results.value("session_handle"));
            if (session.isEmpty()) return done(std::unexpected(int(PortalRequest::other)));
            watchSession(session, true);
            done(session);
        });
}

void DBusShortcutsPortal::bindShortcuts(const QString& session,
                                        const QList<PortalShortcut>& shortcuts,
                                        Answer<QList<PortalShortcut>> done) {
    QList<ShortcutEntry> entries;
    for (const PortalShortcut& s : shortcuts) {
        QVariantMap properties{{QStringLiteral("description"), s.description}};
        if (!s.trigger.isEmpty()) properties.insert(QStringLiteral("preferred_trigger"), s.trigger);
        entries.append({s.id, properties});
    }
    QDBusMessage call = portalCall(QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(session)) << QVariant::fromValue(entries)
         << QString() << QVariantMap();
    PortalRequest::start(
        m_bus, call, 3, bindTimeoutMs, this, [done](const PortalRequest::Answer& answer) {
            if (const uint code = responseCode(answer); code != PortalRequest::success)
                return done(std::unexpected(int(code)));
            done(shortcutList(answer->results.value(QStringLiteral("shortcuts"))));
        });
}

void DBusShortcutsPortal::closeSession(const QString& session) {
    if (session.isEmpty()) return;
    watchSession(session, false);
    m_bus.call(QDBusMessage::createMethodCall(kDesktop, session, kSession, QStringLiteral("Close")),
               QDBus::NoBlock);
}

void DBusShortcutsPortal::watchSession(const QString& session, bool watch) {
    if (!QDBusObjectPath(session).path().startsWith(QLatin1Char('/'))) return;
    if (watch)
        m_bus.connect(kDesktop, session, kSession, QStringLiteral("Closed"), this,
                      SLOT(sessionClosed(QDBusMessage)));
    else
        m_bus.disconnect(kDesktop, session, kSession, QStringLiteral("Closed"), this,
                         SLOT(sessionClosed(QDBusMessage)));
}

void DBusShortcutsPortal::activated(const QDBusMessage& message) {
    if (m_events.activation && message.arguments().size() >= 2)
        m_events.activation(sessionOf(message), message.arguments().at(1).toString(), true);
}

void DBusShortcutsPortal::deactivated(const QDBusMessage& message) {
    if (m_events.activation && message.arguments().size() >= 2)
        m_events.activation(sessionOf(message), message.arguments().at(1).toString(), false);
}

void DBusShortcutsPortal::shortcutsChanged(const QDBusMessage& message) {
    if (m_events.changed && message.arguments().size() >= 2)
        m_events.changed(sessionOf(message), shortcutList(message.arguments().at(1)));
}

void DBusShortcutsPortal::sessionClosed(const QDBusMessage& message) {
    watchSession(message.path(), false);
    if (m_events.sessionClosed) m_events.sessionClosed(message.path());
}
