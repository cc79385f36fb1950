#include "Platform/Wayland/PortalRequest.h"

#include <atomic>

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QRandomGenerator>

#include "Platform/Wayland/PortalErrors.h"

namespace {

const QString desktop = QStringLiteral("org.freedesktop.portal.Desktop");
const QString desktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Where the portal puts the request of this connection with this token.
QString requestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService();
    sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return desktopPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

// What the permission store says of this application's screenshots: refused and failed share
// one response code, only the store tells them apart.
void lookUpPermission(QDBusConnection bus, std::function<void(std::optional<QStringList>)> done) {
    QDBusMessage lookup = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
        QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"), QStringLiteral("Lookup"));
    lookup << QStringLiteral("screenshot") << QStringLiteral("screenshot");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(lookup, 3000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, done] {
        watcher->deleteLater();
        std::optional<QStringList> entry;
        const QDBusMessage reply = watcher->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            // ({app id: [answers]}, data); an unsandboxed application's id is "".
            const auto table = qdbus_cast<QMap<QString, QStringList>>(reply.arguments().first());
            if (table.contains(QString())) entry = table.value(QString());
        }
        done(entry);
    });
}

DisplaySource::Failure screenshotFailure(const PortalRequest::Silence& why, int timeoutMs) {
    using Kind = PortalRequest::Silence::Kind;
    switch (why.kind) {
        case Kind::busError:
            return PortalErrors::forBusError(why.errorName, why.errorMessage);
        case Kind::timedOut:
            return PortalErrors::timedOut(timeoutMs / 1000);
        case Kind::noBus:
            break;
    }
    return PortalErrors::noBus();
}

}  // namespace

QString PortalRequest::newToken() {
    static std::atomic<quint32> counter = 0;
    return QStringLiteral("tessik%1_%2").arg(++counter).arg(QRandomGenerator::global()->generate());
}

void PortalRequest::start(QDBusConnection bus, QDBusMessage call, int optionsIndex, int timeoutMs,
                          QObject* context, std::function<void(Answer)> done) {
    if (!bus.isConnected()) return done(std::unexpected(Silence{Silence::Kind::noBus, {}, {}}));
    const QString token = newToken();
    QList<QVariant> arguments = call.arguments();
    QVariantMap options = arguments.value(optionsIndex).toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments[optionsIndex] = options;
    call.setArguments(arguments);
    auto* request = new PortalRequest(std::move(bus), context, std::move(done));
    request->subscribe(requestPath(request->m_bus, token));
    request->call(std::move(call), timeoutMs);
}

PortalRequest::PortalRequest(QDBusConnection bus, QObject* context,
                             std::function<void(Answer)> done)
    : QObject(context), m_bus(std::move(bus)), m_done(std::move(done)) {
}

void PortalRequest::call(QDBusMessage message, int timeout) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PortalRequest::onTimeout);
    m_timer.start(timeout);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, timeout), this);
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
    if (!m_done) return;
    const QDBusPendingReply<QDBusObjectPath> reply = *call;
    if (reply.isError())
        return finish(std::unexpected(
            Silence{Silence::Kind::busError, reply.error().name(), reply.error().message()}));
    // Portals older than the handle token answer on a path of their own choosing.
    if (const QString handle = reply.value().path(); handle != m_path) {
        unsubscribe();
        subscribe(handle);
    }
}

void PortalRequest::onResponse(uint code, const QVariantMap& results) {
    finish(Response{code, results});
}

void PortalRequest::onTimeout() {
    if (!m_done) return;
    // Tell the portal nobody waits any more; its answer would be ignored anyway.
    if (!m_path.isEmpty())
        m_bus.asyncCall(QDBusMessage::createMethodCall(desktop, m_path, requestInterface,
                                                       QStringLiteral("Close")));
    finish(std::unexpected(Silence{Silence::Kind::timedOut, {}, {}}));
}

void PortalRequest::finish(Answer answer) {
    if (!m_done) return;
    m_timer.stop();
    unsubscribe();
    auto done = std::move(m_done);
    m_done = nullptr;
    deleteLater();
    done(std::move(answer));
}

void PortalRequest::screenshot(QDBusConnection bus, std::function<void(Outcome)> completion,
                               int timeout) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        desktop, desktopPath, QStringLiteral("org.freedesktop.portal.Screenshot"),
        QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap{{QStringLiteral("interactive"), false}, {QStringLiteral("modal"), false}};
    start(bus, call, 1, timeout, nullptr, [bus, completion, timeout](Answer answer) {
        if (!answer) return completion(std::unexpected(screenshotFailure(answer.error(), timeout)));
        if (answer->code == success) return completion(answer->results);
        if (answer->code == cancelled)
            return completion(std::unexpected(PortalErrors::cancelled()));
        lookUpPermission(bus, [completion, code = answer->code](std::optional<QStringList> entry) {
            completion(std::unexpected(PortalErrors::forResponse(code, entry)));
        });
    });
}
