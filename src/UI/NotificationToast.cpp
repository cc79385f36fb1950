#include "UI/NotificationToast.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "Base/ApplicationId.h"

NotificationToast::NotificationToast(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
}

void NotificationToast::show(const QString& message, const ScreenDescriptor&) {
    notify(message, expireTimeoutMs);
}

void NotificationToast::showOnMainDisplay(const QString& message) {
    notify(message, mainDisplayTimeoutMs);
}

void NotificationToast::notify(const QString& message, int timeoutMs) {
    if (!m_bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QString id = QString::fromLatin1(ApplicationId::name);
    // Transient: a confirmation has no place in the desktop's notification history.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), id},
                            {QStringLiteral("transient"), true},
                            {QStringLiteral("urgency"), QVariant::fromValue<uchar>(0)}};
    call << QStringLiteral("Tessik") << m_lastId << id << message << QString() << QStringList()
         << hints << timeoutMs;
    // Never waits: the answer only tells which notification the next one replaces.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isValid()) m_lastId = reply.value();
                finished->deleteLater();
            });
}
