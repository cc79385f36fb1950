#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QString>

#include "App/AppCommand.h"

class AppBusService;
class QDBusConnection;
class QLockFile;

// One Tessik per desktop session. The instance holds a lock file per display, released only
// after its display connection has closed (so an instance that replaces it never meets the old
// key grabs); with a session bus it also owns the name io.github.tessik.Tessik, which is how
// commands reach it. A process that cannot reach the bus (possible on X11) and finds the lock
// taken cannot hand its command over, and says so.
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
    explicit SingleInstance(const QString& display);
    ~SingleInstance();

    // A plain start or a command waits up to `waitMs` for an instance that is quitting.
    Outcome acquire(AppCommand command, int waitMs);
    // Why the command could not be delivered, in French.
    QString failure() const { return m_failure; }

    // Commands from the bus, and the one this process was started with, go to `handler`.
    void serve(std::function<void(AppCommand)> handler);
    // At termination: later commands are refused, so their callers start a new instance.
    void stopServing();

    // Hands a command to an instance already running, before this process makes its own
    // application object and display connection; false when none takes it (the usual start
    // then decides).
    static bool deliverToRunning(int& argc, char** argv, AppCommand command);

    static QString alreadyRunningMessage();
    // Names the area-capture shortcut as a user reads it ("Ctrl+Maj+2"), when there is one.
    static QString alreadyRunningInformativeText(const std::optional<QString>& shortcut);

private:
    enum class Delivery { delivered, noInstance, failed };

    Outcome settle(AppCommand command, int waitMs);
    Outcome acquireWithoutBus(AppCommand command, int waitMs);
    bool takeName(QDBusConnection& bus);
    static Delivery deliver(QDBusConnection& bus, AppCommand command, QString* failure);
    Outcome becomePrimary(AppCommand command);

    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<AppBusService> m_service;
    QString m_failure;
};
