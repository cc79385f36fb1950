#include "Platform/Wayland/PortalRequest.h"

#include <atomic>

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QRandomGenerator>

#include "Platform/Wayland/PortalErrors.h"

namespace {

const QString desktop = QStringLiteral("org.freedesktop.portal.Desktop");
const QString desktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

QString uniqueToken() {
    static std::atomic<quint32> counter = 0;
    return QStringLiteral("tessik%1_%2").arg(++counter).arg(QRandomGenerator::global()->generate());
}

// Where the portal puts the request of this connection with this token.
QString requestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService();
    sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return desktopPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

}  // namespace

void PortalRequest::screenshot(QDBusConnection bus, std::function<void(Outcome)> completion,
                               int timeout) {
    if (!bus.isConnected()) return completion(std::unexpected(PortalErrors::noBus()));
    (new PortalRequest(bus, std::move(completion)))->start(timeout);
}

PortalRequest::PortalRequest(QDBusConnection bus, std::function<void(Outcome)> completion)
    : m_bus(std::move(bus)), m_completion(std::move(completion)) {
}

void PortalRequest::start(int timeout) {
    const QString token = uniqueToken();
    subscribe(requestPath(m_bus, token));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this, timeout] { onTimeout(timeout); });
    m_timer.start(timeout);
    QDBusMessage call = QDBusMessage::createMethodCall(
        desktop, desktopPath, QStringLiteral("org.freedesktop.portal.Screenshot"),
        QStringLiteral("Screenshot"));
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("interactive"), false},
                              {QStringLiteral("modal"), false}};
    call << QString() << options;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalRequest::onCallFinished);
}

void PortalRequest::subscribe(const QString& path) {
    m_path = path;
    m_bus.connect(desktop, path, requestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::unsubscribe() {
    if (m_path.isEmpty()) return;
    m_bus.disconnect(desktop, m_path, requestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap)));
    m_path.clear();
}

void PortalRequest::onCallFinished(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    if (!m_completion) return;
    const QDBusPendingReply<QDBusObjectPath> reply = *call;
    if (reply.isError())
        return finish(std::unexpected(
            PortalErrors::forBusError(reply.error().name(), reply.error().message())));
    // Portals older than the handle token answer on a path of their own choosing.
    if (const QString handle = reply.value().path(); !m_answered && handle != m_path) {
        unsubscribe();
        subscribe(handle);
    }
}

void PortalRequest::onResponse(uint code, const QVariantMap& results) {
    if (!m_completion || m_answered) return;
    m_answered = true;
    if (code == 0) return finish(results);
    if (code == 1) return finish(std::unexpected(PortalErrors::cancelled()));
    lookUpPermission(code);
}

void PortalRequest::lookUpPermission(uint code) {
    // Refused and failed share one code: only the permission store tells them apart.
    QDBusMessage lookup = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
        QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"), QStringLiteral("Lookup"));
    lookup << QStringLiteral("screenshot") << QStringLiteral("screenshot");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(lookup, 3000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, code](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                std::optional<QStringList> entry;
                const QDBusMessage reply = call->reply();
                if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                    // ({app id: [answers]}, data); an unsandboxed application's id is "".
                    const auto table =
                        qdbus_cast<QMap<QString, QStringList>>(reply.arguments().first());
                    if (table.contains(QString())) entry = table.value(QString());
                }
                finish(std::unexpected(PortalErrors::forResponse(code, entry)));
            });
}

void PortalRequest::onTimeout(int timeout) {
    if (!m_completion) return;
    if (!m_answered && !m_path.isEmpty())
        m_bus.asyncCall(QDBusMessage::createMethodCall(desktop, m_path, requestInterface,
                                                       QStringLiteral("Close")));
    finish(std::unexpected(PortalErrors::timedOut(timeout / 1000)));
}

void PortalRequest::finish(Outcome outcome) {
    if (!m_completion) return;
    m_timer.stop();
    unsubscribe();
    auto completion = std::move(m_completion);
    m_completion = nullptr;
    deleteLater();
    completion(std::move(outcome));
}
