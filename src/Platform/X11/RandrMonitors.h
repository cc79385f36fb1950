#pragma once

#include <optional>

#include <QList>
#include <QRect>
#include <QString>

struct xcb_connection_t;

// The RandR 1.5 monitors of the root window. A monitor's id is the atom of its name: stable for
// a given name, and present also for monitors without an output (as under Xvfb).
struct RandrMonitor {
    quint32 id = 0;
    QString name;
    QRect pixels;  // on the root window
    bool primary = false;
    bool operator==(const RandrMonitor&) const = default;
};

namespace RandrMonitors {
// The monitors of the connection's first screen, or nothing when RandR 1.5 is not there.
std::optional<QList<RandrMonitor>> list(xcb_connection_t* connection);
// The monitor id for a monitor name, looked up on Qt's own X connection (main thread).
std::optional<quint32> idForName(const QString& name);
}  // namespace RandrMonitors
