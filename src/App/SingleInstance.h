#pragma once

#include <functional>
#include <memory>

#include <QString>

#include "App/AppCommand.h"

class AppBusService;
class QDBusConnection;
class QLockFile;

// One Tessik per session. With a session bus, the process that owns the name
// io.github.tessik.Tessik is the instance, and the command line reaches it there. On X11 a lock
// file per display is held as well: it is released only after the X connection has closed, so an
// instance that replaces this one never meets the old key grabs. Without a session bus (possible
// on X11) that lock alone decides, and commands cannot reach a running instance.
class SingleInstance {
public:
    enum class Outcome {
        primary,         // this process is the instance (and performs its command once launched)
        delivered,       // the running instance has the command
        notRunning,      // --quit with no instance: nothing to do
        alreadyRunning,  // a plain start while an instance runs
        unreachable,     // an instance runs but the command cannot reach it: see failure()
    };

    // `display` names the display (X or Wayland) for the lock file, kept in the runtime folder.
    // `lockDisplay`: hold that lock beside the bus name (X11).
    SingleInstance(const QString& display, bool lockDisplay);
    ~SingleInstance();

    // A plain start or a command waits up to `waitMs` for an instance that is quitting.
    Outcome acquire(AppCommand command, int waitMs);
    // Why the command could not be delivered, in French.
    QString failure() const { return m_failure; }

    // Commands from the bus, and the one this process was started with, go to `handler`.
    void serve(std::function<void(AppCommand)> handler);
    // At termination: later commands are refused, so their callers start a new instance.
    void stopServing();

    static QString alreadyRunningMessage();
    static QString alreadyRunningInformativeText();

private:
    enum class Delivery { delivered, noInstance, failed };

    Outcome settle(AppCommand command, int waitMs);
    Outcome acquireWithoutBus(AppCommand command, int waitMs);
    bool takeName(QDBusConnection& bus);
    Delivery deliver(QDBusConnection& bus, AppCommand command);
    Outcome becomePrimary(AppCommand command);

    std::unique_ptr<QLockFile> m_lock;
    bool m_lockDisplay;
    std::unique_ptr<AppBusService> m_service;
    QString m_failure;
};
