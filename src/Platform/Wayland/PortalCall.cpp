#include "Platform/Wayland/PortalCall.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QRandomGenerator>
#include <QTimer>

namespace {
const QString kDesktop = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

// Where the portal puts the request of this token (the documented prediction).
QString requestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + QLatin1Char('/') +
           token;
}
}  // namespace

QString PortalCall::newToken() {
    static quint32 counter = 0;
    return QStringLiteral("tessik%1_%2").arg(++counter).arg(QRandomGenerator::global()->generate());
}

PortalCall::PortalCall(const QDBusConnection& bus, QObject* context, Done done)
    : QObject(context), m_bus(bus), m_done(std::move(done)) {
}

void PortalCall::start(const QDBusConnection& bus, QDBusMessage call, int optionsIndex,
                       int timeoutMs, QObject* context, Done done) {
    auto* self = new PortalCall(bus, context, std::move(done));
    const QString token = newToken();
    QList<QVariant> arguments = call.arguments();
    QVariantMap options = arguments.value(optionsIndex).toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments[optionsIndex] = options;
    call.setArguments(arguments);
    self->follow(requestPath(bus, token));

    self->m_timeout = new QTimer(self);
    self->m_timeout->setSingleShot(true);
    connect(self->m_timeout, &QTimer::timeout, self, [self] {
        // Tell the portal we stopped waiting; its answer would be ignored anyway.
        self->m_bus.call(QDBusMessage::createMethodCall(kDesktop, self->m_path, kRequest,
                                                        QStringLiteral("Close")),
                         QDBus::NoBlock);
        self->finish(other, {});
    });
    self->m_timeout->start(timeoutMs);

    auto* watcher = new QDBusPendingCallWatcher(self->m_bus.asyncCall(call, timeoutMs), self);
    connect(watcher, &QDBusPendingCallWatcher::finished, self, [self, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isError()) return self->finish(other, {});
        if (reply.value().path() != self->m_path) self->follow(reply.value().path());
    });
}

void PortalCall::follow(const QString& path) {
    if (!m_path.isEmpty())
        m_bus.disconnect(kDesktop, m_path, kRequest, QStringLiteral("Response"), this,
                         SLOT(response(uint, QVariantMap)));
    m_path = path;
    m_bus.connect(kDesktop, m_path, kRequest, QStringLiteral("Response"), this,
                  SLOT(response(uint, QVariantMap)));
}

void PortalCall::response(uint code, const QVariantMap& results) {
    finish(code, results);
}

void PortalCall::finish(uint code, const QVariantMap& results) {
    if (m_finished) return;
    m_finished = true;
    m_bus.disconnect(kDesktop, m_path, kRequest, QStringLiteral("Response"), this,
                     SLOT(response(uint, QVariantMap)));
    if (m_timeout) m_timeout->stop();
    deleteLater();
    if (m_done) m_done(code, results);
}
