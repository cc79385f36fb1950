#pragma once

#include <chrono>
#include <functional>

#include <QObject>
#include <QTimer>

// A tray tool sits idle nearly all day: after a quiet spell with no capture, what only speeds
// up the next capture is given back. While captures follow each other it is kept.
class IdleRelease : public QObject {
    Q_OBJECT

public:
    // `busy` tells whether a capture is still going on, which postpones the release.
    IdleRelease(std::chrono::milliseconds delay, std::function<bool()> busy,
                std::function<void()> release, QObject* parent = nullptr);

    // A capture started or ended: the quiet spell starts again from now.
    void activity();

private:
    void expired();

    QTimer m_timer;
    std::function<bool()> m_busy;
    std::function<void()> m_release;
};

// Returns the allocator's free memory to the system, not only to the allocator.
void returnFreeMemoryToSystem();
