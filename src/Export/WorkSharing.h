#pragma once

#include <functional>

// Runs work(i) for every i in [0, count): on the calling thread, helped by the threads of
// Qt's global pool that are free while it runs. It never waits for a task that has not started,
// so it cannot deadlock when called from a pool thread while the pool is busy.
void shareWork(int count, const std::function<void(int)>& work);
