#pragma once

#include <expected>
#include <functional>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include "Capture/DisplaySource.h"

class QDBusPendingCallWatcher;

// One call of a desktop-portal method that answers through a Request object. The Response
// signal is subscribed on the request's predicted path (a handle token unique in the process)
// before the call, so no answer can be missed, and followed to the path the portal returns if
// that differs (portals older than the handle token). A request the portal does not answer
// within the timeout is closed. The answer is given once, on this object's thread, unless
// `context` is gone by then; the object deletes itself afterwards.
class PortalRequest : public QObject {
    Q_OBJECT

public:
    // The portal's answer: its response code and results.
    struct Response {
        uint code = 0;
        QVariantMap results;
    };
    // Why no answer came: no bus, an error of the call itself, or silence until the timeout.
    struct Silence {
        enum class Kind { noBus, busError, timedOut } kind;
        QString errorName;
        QString errorMessage;
    };
    using Answer = std::expected<Response, Silence>;

    // The portal's response codes.
    static constexpr uint success = 0;
    static constexpr uint cancelled = 1;
    static constexpr uint other = 2;

    // Calls `call`; its a{sv} options at `optionsIndex` receive a fresh handle_token.
    static void start(QDBusConnection bus, QDBusMessage call, int optionsIndex, int timeoutMs,
                      QObject* context, std::function<void(Answer)> done);

    // A fresh token for handle_token and session_handle_token, unique in the process.
    static QString newToken();

    // One org.freedesktop.portal.Screenshot request, non-interactive. A code other than 0 is
    // mapped with the permission store's entry (see PortalErrors).
    using Outcome = std::expected<QVariantMap, DisplaySource::Failure>;
    static constexpr int timeoutMs = 10000;
    static void screenshot(QDBusConnection bus, std::function<void(Outcome)> completion,
                           int timeout = timeoutMs);

private slots:
    void onResponse(uint code, const QVariantMap& results);

private:
    PortalRequest(QDBusConnection bus, QObject* context, std::function<void(Answer)> done);
    void call(QDBusMessage message, int timeout);
    void subscribe(const QString& path);
    void unsubscribe();
    void onCallFinished(QDBusPendingCallWatcher* call);
    void onTimeout();
    void finish(Answer answer);

    QDBusConnection m_bus;
    std::function<void(Answer)> m_done;
    QString m_path;
    QTimer m_timer;
};
