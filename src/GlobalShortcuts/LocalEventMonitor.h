#pragma once

#include <functional>

#include <QEvent>
#include <QObject>
#include <QSet>

namespace GlobalShortcuts {

// An in-application event filter for a set of event types: the callback sees each such event
// on its way to a widget and answers whether to swallow it. Removed when released.
class LocalEventMonitor final : public QObject {
public:
    using Callback = std::function<bool(QObject* receiver, QEvent* event)>;

    LocalEventMonitor(QSet<QEvent::Type> events, Callback callback);
    ~LocalEventMonitor() override;

    void start();
    void stop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSet<QEvent::Type> m_events;
    Callback m_callback;
    bool m_started = false;
};

}  // namespace GlobalShortcuts
