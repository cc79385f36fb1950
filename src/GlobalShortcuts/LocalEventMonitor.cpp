#include "GlobalShortcuts/LocalEventMonitor.h"

#include <QCoreApplication>

namespace GlobalShortcuts {

LocalEventMonitor::LocalEventMonitor(QSet<QEvent::Type> events, Callback callback)
    : m_events(std::move(events)), m_callback(std::move(callback)) {
}

LocalEventMonitor::~LocalEventMonitor() {
    stop();
}

void LocalEventMonitor::start() {
    if (m_started || !QCoreApplication::instance()) return;
    QCoreApplication::instance()->installEventFilter(this);
    m_started = true;
}

void LocalEventMonitor::stop() {
    if (!m_started) return;
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
    m_started = false;
}

bool LocalEventMonitor::eventFilter(QObject* watched, QEvent* event) {
    // Events reach the application filter once for the platform window and once per widget;
    // only the widget deliveries count.
    if (!m_started || !watched->isWidgetType() || !m_events.contains(event->type())) return false;
    // A copy: the callback may stop and release this monitor.
    const Callback callback = m_callback;
    return callback(watched, event);
}

}  // namespace GlobalShortcuts
