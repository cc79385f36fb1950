#include "Base/NotificationCenter.h"

#include <vector>

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::observe(const QString& name, Handler handler) {
    const Token token = m_next++;
    m_entries.emplace(token, Entry{name, std::move(handler)});
    return token;
}

void NotificationCenter::remove(Token token) { m_entries.erase(token); }

void NotificationCenter::post(const QString& name, const QVariantMap& userInfo) {
    // Observers may add or remove observers while being notified: walk a snapshot of tokens.
    std::vector<Token> tokens;
    for (const auto& [token, entry] : m_entries)
        if (entry.name == name) tokens.push_back(token);
    for (Token token : tokens) {
        auto it = m_entries.find(token);
        if (it != m_entries.end()) {
            Handler handler = it->second.handler;
            handler(userInfo);
        }
    }
}
