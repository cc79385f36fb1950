#pragma once

#include <functional>
#include <map>

#include <QString>
#include <QVariantMap>

// A small synchronous notification centre: observers run inside post(), in the order they
// were added. Main thread only.
class NotificationCenter {
public:
    using Token = quint64;
    using Handler = std::function<void(const QVariantMap& userInfo)>;

    static NotificationCenter& defaultCenter();

    Token observe(const QString& name, Handler handler);
    void remove(Token token);
    void post(const QString& name, const QVariantMap& userInfo = {});

private:
    struct Entry {
        QString name;
        Handler handler;
    };
    std::map<Token, Entry> m_entries;
    Token m_next = 1;
};
