#include "Export/WorkSharing.h"

#include <algorithm>
#include <atomic>

#include <QSemaphore>
#include <QThreadPool>

void shareWork(int count, const std::function<void(int)>& work) {
    std::atomic<int> next{0};
    QSemaphore finished;
    auto drain = [&] {
        for (int i; (i = next.fetch_add(1)) < count;) work(i);
    };
    auto helper = [&] {
        drain();
        finished.release();
    };
    QThreadPool* pool = QThreadPool::globalInstance();
    const int wanted = std::min(count, pool->maxThreadCount()) - 1;
    int helpers = 0;
    // A thread that frees up meanwhile (another export finishing) joins at the next item.
    for (int i; (i = next.fetch_add(1)) < count;) {
        while (helpers < wanted && pool->tryStart(helper)) ++helpers;
        work(i);
    }
    finished.acquire(helpers);
}
