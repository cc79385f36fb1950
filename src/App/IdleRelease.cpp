#include "App/IdleRelease.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

IdleRelease::IdleRelease(std::chrono::milliseconds delay, std::function<bool()> busy,
                         std::function<void()> release, QObject* parent)
    : QObject(parent), m_busy(std::move(busy)), m_release(std::move(release)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(delay);
    connect(&m_timer, &QTimer::timeout, this, &IdleRelease::expired);
}

void IdleRelease::activity() {
    m_timer.start();
}

void IdleRelease::expired() {
    if (m_busy && m_busy()) return m_timer.start();
    if (m_release) m_release();
}

void returnFreeMemoryToSystem() {
#if defined(__GLIBC__)
    // Frees whole pages inside every arena too, not only at the top of the main heap.
    malloc_trim(0);
#endif
}
