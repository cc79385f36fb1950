#include "GlobalShortcuts/MenuTracking.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QSet>

namespace GlobalShortcuts {

namespace {
class MenuTracker final : public QObject {
public:
    explicit MenuTracker(std::function<void(bool)> onChange) : m_onChange(std::move(onChange)) {
        if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::Show && type != QEvent::Hide) return false;
        auto* menu = qobject_cast<QMenu*>(watched);
        if (!menu) return false;
        if (type == QEvent::Show && !m_shown.contains(menu)) {
            m_shown.insert(menu);
            // A menu destroyed while shown never sends Hide.
            connect(menu, &QObject::destroyed, this, [this, menu] { forget(menu); });
            if (m_shown.size() == 1) m_onChange(true);
        } else if (type == QEvent::Hide) {
            disconnect(menu, &QObject::destroyed, this, nullptr);
            forget(menu);
        }
        return false;
    }

private:
    void forget(QObject* menu) {
        if (m_shown.remove(menu) && m_shown.isEmpty()) m_onChange(false);
    }

    std::function<void(bool)> m_onChange;
    QSet<QObject*> m_shown;
};
}  // namespace

std::unique_ptr<QObject> startMenuTracking(std::function<void(bool)> onChange) {
    return std::make_unique<MenuTracker>(std::move(onChange));
}

}  // namespace GlobalShortcuts
