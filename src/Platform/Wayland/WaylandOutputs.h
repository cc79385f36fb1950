#pragma once

#include <memory>
#include <optional>

#include <QHash>
#include <QList>
#include <QMutex>
#include <QRect>
#include <QString>

// One output of the Wayland desktop as Qt shows it: logical geometry in Qt's global space.
struct WaylandOutput {
    quint32 id = 0;
    QString name;
    QRect geometry;
    bool operator==(const WaylandOutput&) const = default;
};

// Wayland gives outputs no number of their own: each output name gets one the first time it is
// seen and keeps it for the life of the process, so a display id stays stable across
// reconfigurations. The layout is copied from Qt's screens on the main thread whenever they
// change, so that the capture thread can read it without touching Qt's screens.
class WaylandOutputs {
public:
    // A copy kept up to date with Qt's screens for the rest of the process. Main thread.
    static std::shared_ptr<WaylandOutputs> tracking();

    quint32 idForName(const QString& name);  // any thread; never fails
    QList<WaylandOutput> snapshot() const;   // any thread
    void set(const QList<QPair<QString, QRect>>& outputs);

private:
    void refresh();  // main thread
    mutable QMutex m_mutex;
    QHash<QString, quint32> m_ids;
    QList<WaylandOutput> m_outputs;
};
