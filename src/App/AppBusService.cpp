#include "App/AppBusService.h"

#include <QMetaObject>

AppBusService::AppBusService(QObject* parent) : QObject(parent) {
}

void AppBusService::receive(AppCommand command) {
    if (!m_handler) {
        m_pending.append(command);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, command] { m_handler(command); }, Qt::QueuedConnection);
}

void AppBusService::serve(std::function<void(AppCommand)> handler) {
    m_handler = std::move(handler);
    const QList<AppCommand> pending = std::exchange(m_pending, {});
    for (AppCommand command : pending) receive(command);
}

AppBusAdaptor::AppBusAdaptor(AppBusService* service)
    : QDBusAbstractAdaptor(service), m_service(service) {
}

void AppBusAdaptor::CaptureArea() {
    m_service->receive(AppCommand::captureArea);
}
void AppBusAdaptor::CaptureScreen() {
    m_service->receive(AppCommand::captureScreen);
}
void AppBusAdaptor::ShowSettings() {
    m_service->receive(AppCommand::showSettings);
}
void AppBusAdaptor::Quit() {
    m_service->receive(AppCommand::quit);
}
