#pragma once

#include <chrono>
#include <memory>

#include <QObject>

class PermissionService;

// The state behind the onboarding window: which screen to show, and a watcher that queries the
// screen-recording permission once a second until it is granted. Main thread only.
class OnboardingModel : public QObject {
    Q_OBJECT

public:
    enum class Step { needsPermission, grantedNeedsRelaunch };
    Q_ENUM(Step)

    static constexpr std::chrono::milliseconds defaultPollInterval{1000};

    explicit OnboardingModel(PermissionService& permissions,
                             std::chrono::milliseconds pollInterval = defaultPollInterval,
                             QObject* parent = nullptr);
    ~OnboardingModel() override;

    Step step() const { return m_step; }

    // Starts the watcher unless one is held, running or finished.
    void startWatching();
    // Cancels the watcher, if any, and drops it. A sleep it interrupts ends with one last query.
    void stopWatching();
    // Whether a watcher is held (running or finished).
    bool hasWatcher() const { return m_pollTask != nullptr; }

    void openSystemSettings();
    void relaunch();

signals:
    // Only on a real change.
    void stepChanged(OnboardingModel::Step step);

private:
    class Watcher;

    // One access query; true once access is granted.
    bool queryAccess();

    Step m_step = Step::needsPermission;
    PermissionService& m_permissions;
    std::chrono::milliseconds m_pollInterval;
    std::unique_ptr<Watcher> m_pollTask;
};
