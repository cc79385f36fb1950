#pragma once

#include <functional>

#include <QString>
#include <QVariantMap>

namespace GlobalShortcuts {

// The module's two in-process notifications.
inline const QString shortcutByNameDidChange =
    QStringLiteral("GlobalShortcuts_shortcutByNameDidChange");
inline const QString recorderActiveStatusDidChange =
    QStringLiteral("GlobalShortcuts_recorderActiveStatusDidChange");

// A tiny synchronous notification centre: observers run inside post(), in the order they were
// added, and may add or remove observers while it runs. Main thread only.
namespace Notifications {
using Token = quint64;
using Handler = std::function<void(const QVariantMap& userInfo)>;

Token observe(const QString& name, Handler handler);
void remove(Token token);
void post(const QString& name, const QVariantMap& userInfo = {});
}  // namespace Notifications

}  // namespace GlobalShortcuts
