#pragma once

#include <memory>
#include <optional>

#include <QHash>
#include <QMutex>
#include <QString>

// The scale (pixels per point) of each screen by name, copied from Qt's screens on the main
// thread whenever they change, so that the capture thread can turn a monitor's pixels into
// points without touching Qt's screens.
class ScreenScales {
public:
    // A snapshot kept up to date with Qt's screens for the rest of the process. Main thread.
    static std::shared_ptr<ScreenScales> tracking();

    std::optional<double> scale(const QString& screenName) const;  // any thread
    void set(QHash<QString, double> scales);

private:
    void refresh();  // main thread
    mutable QMutex m_mutex;
    QHash<QString, double> m_scales;
};
