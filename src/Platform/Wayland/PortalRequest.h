#pragma once

#include <expected>
#include <functional>

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include "Capture/DisplaySource.h"

class QDBusPendingCallWatcher;

// One org.freedesktop.portal.Screenshot request, non-interactive, through the Request/Response
// protocol: the Response signal is subscribed on the request's predicted path (a handle token
// unique in the process) before the call, so no answer can be missed; a request the portal
// does not answer within the timeout is closed and fails. A code other than 0 is mapped with
// the permission store's entry (see PortalErrors). The completion runs once, on this object's
// thread; the object deletes itself afterwards.
class PortalRequest : public QObject {
    Q_OBJECT

public:
    using Outcome = std::expected<QVariantMap, DisplaySource::Failure>;

    static constexpr int timeoutMs = 10000;

    static void screenshot(QDBusConnection bus, std::function<void(Outcome)> completion,
                           int timeout = timeoutMs);

private slots:
    void onResponse(uint code, const QVariantMap& results);

private:
    PortalRequest(QDBusConnection bus, std::function<void(Outcome)> completion);
    void start(int timeout);
    void subscribe(const QString& path);
    void unsubscribe();
    void onCallFinished(QDBusPendingCallWatcher* call);
    void onTimeout(int timeout);
    void lookUpPermission(uint code);
    void finish(Outcome outcome);

    QDBusConnection m_bus;
    std::function<void(Outcome)> m_completion;
    QString m_path;
    QTimer m_timer;
    bool m_answered = false;
};
