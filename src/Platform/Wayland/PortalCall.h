#pragma once

#include <functional>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

class QTimer;

// One call of a desktop-portal method that answers through a Request object: the Response
// signal is subscribed to on the request's path before the call is made (the answer can come
// before the call returns), then followed to the path the portal returns if it differs. A bus
// error or no answer in time ends as response 2. The answer is given once, on the main thread,
// unless `context` is gone by then.
class PortalCall : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(uint response, const QVariantMap& results)>;

    // The call's a{sv} options at `optionsIndex` receive a fresh handle_token.
    static void start(const QDBusConnection& bus, QDBusMessage call, int optionsIndex,
                      int timeoutMs, QObject* context, Done done);

    // The portal's response codes.
    static constexpr uint success = 0;
    static constexpr uint cancelled = 1;
    static constexpr uint other = 2;

    // A fresh token for handle_token and session_handle_token.
    static QString newToken();

private slots:
    void response(uint code, const QVariantMap& results);

private:
    PortalCall(const QDBusConnection& bus, QObject* context, Done done);
    void follow(const QString& path);
    void finish(uint code, const QVariantMap& results);

    QDBusConnection m_bus;
    Done m_done;
    QString m_path;
    QTimer* m_timeout = nullptr;
    bool m_finished = false;
};
