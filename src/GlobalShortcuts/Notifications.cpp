#include "GlobalShortcuts/Notifications.h"

#include <map>
#include <vector>

namespace GlobalShortcuts::Notifications {

namespace {
struct Entry {
    QString name;
    Handler handler;
};
std::map<Token, Entry>& entries() {
    static std::map<Token, Entry> all;
    return all;
}
Token nextToken = 1;
}  // namespace

Token observe(const QString& name, Handler handler) {
    const Token token = nextToken++;
    entries().emplace(token, Entry{name, std::move(handler)});
    return token;
}

void remove(Token token) {
    entries().erase(token);
}

void post(const QString& name, const QVariantMap& userInfo) {
    std::vector<Token> matching;
    for (const auto& [token, entry] : entries())
        if (entry.name == name) matching.push_back(token);
    for (const Token token : matching) {
        // An observer may have removed a later one.
        const auto it = entries().find(token);
        if (it == entries().end()) continue;
        const Handler handler = it->second.handler;
        handler(userInfo);
    }
}

}  // namespace GlobalShortcuts::Notifications
