#include "Platform/DesktopPermissionService.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QProcess>

DesktopPermissionService::DesktopPermissionService(Starter starter)
    : m_starter(std::move(starter)) {
    if (!m_starter)
        m_starter = [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
        };
}

void DesktopPermissionService::relaunch() {
    // The outcome of the start is not looked at: this instance ends either way, through the
    // normal quit path (queued, so the termination work runs on the main thread's loop).
    m_starter(QCoreApplication::applicationFilePath(), {});
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
}
