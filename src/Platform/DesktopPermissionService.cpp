#include "Platform/DesktopPermissionService.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QProcess>

DesktopPermissionService::DesktopPermissionService(Starter starter, std::function<void()> quit)
    : m_starter(std::move(starter)), m_quit(std::move(quit)) {
    if (!m_quit) m_quit = &QCoreApplication::quit;
    if (!m_starter)
        m_starter = [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
        };
}

void DesktopPermissionService::relaunch() {
    // The outcome of the start is not looked at: this instance ends either way, through the
    // normal quit path (queued, so the termination work runs on the main thread's loop).
    m_starter(QCoreApplication::applicationFilePath(), {});
    QMetaObject::invokeMethod(QCoreApplication::instance(), m_quit, Qt::QueuedConnection);
}
