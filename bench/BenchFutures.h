#pragma once

#include <QEventLoop>
#include <QFuture>
#include <QFutureWatcher>
#include <QObject>

// Runs the event loop until the future finishes (no polling: the end is measured exactly).
template <class T>
void runUntilFinished(const QFuture<T>& future) {
    QFutureWatcher<T> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<T>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    if (!future.isFinished()) loop.exec();
}
