#pragma once

#include <functional>

#include <QDBusAbstractAdaptor>
#include <QList>
#include <QObject>

#include "App/AppCommand.h"
#include "Base/ApplicationId.h"

// The running instance's side of the command line: receives commands over the session bus and
// hands them to the application once it has finished launching (earlier ones wait).
class AppBusService : public QObject {
    Q_OBJECT

public:
    explicit AppBusService(QObject* parent = nullptr);

    // Performed after the current D-Bus call has been answered, so a caller never waits for a
    // capture or an alert.
    void receive(AppCommand command);
    // From now on commands go to `handler`; those already received go first, in order.
    void serve(std::function<void(AppCommand)> handler);

private:
    std::function<void(AppCommand)> m_handler;
    QList<AppCommand> m_pending;
};

// The interface io.github.tessik.Tessik, exported at /io/github/tessik/Tessik.
class AppBusAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.tessik.Tessik")

public:
    explicit AppBusAdaptor(AppBusService* service);

public slots:
    void CaptureArea();
    void CaptureScreen();
    void ShowSettings();
    void Quit();

private:
    AppBusService* m_service;
};
