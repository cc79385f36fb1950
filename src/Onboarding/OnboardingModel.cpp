#include "Onboarding/OnboardingModel.h"

#include <QPointer>
#include <QTimer>

#include "Capture/PermissionService.h"

// The polling loop: sleep, query, and again until access is found. Only the model's handle owns
// it, so a released model ends it at once; the sleep is a timer, so nothing blocks.
class OnboardingModel::Watcher {
public:
    Watcher(OnboardingModel& model, std::chrono::milliseconds interval) : m_model(model) {
        m_sleep.setSingleShot(true);
        m_sleep.setTimerType(Qt::PreciseTimer);
        m_sleep.setInterval(interval);
        QObject::connect(&m_sleep, &QTimer::timeout, &m_sleep, [this] { wake(); });
        m_sleep.start();
    }

    // An interrupted sleep still ends with its query, made as soon as the event loop runs again.
    void cancel() {
        if (!m_sleep.isActive()) return;
        m_sleep.stop();
        QPointer<OnboardingModel> model(&m_model);
        QTimer::singleShot(0, &m_model, [model] {
            if (model) model->queryAccess();
        });
    }

private:
    void wake() {
        if (!m_model.queryAccess()) m_sleep.start();
    }

    OnboardingModel& m_model;
    QTimer m_sleep;
};

OnboardingModel::OnboardingModel(PermissionService& permissions,
                                 std::chrono::milliseconds pollInterval, QObject* parent)
    : QObject(parent), m_permissions(permissions), m_pollInterval(pollInterval) {
}

OnboardingModel::~OnboardingModel() = default;

void OnboardingModel::startWatching() {
    if (m_pollTask) return;
    m_pollTask = std::make_unique<Watcher>(*this, m_pollInterval);
}

void OnboardingModel::stopWatching() {
    if (!m_pollTask) return;
    m_pollTask->cancel();
    m_pollTask.reset();
}

void OnboardingModel::openSystemSettings() {
    m_permissions.openSystemSettings();
}

void OnboardingModel::relaunch() {
    m_permissions.relaunch();
}

bool OnboardingModel::queryAccess() {
    if (!m_permissions.hasAccess()) return false;
    // The watcher never goes back to the request screen.
    if (m_step != Step::grantedNeedsRelaunch) {
        m_step = Step::grantedNeedsRelaunch;
        emit stepChanged(m_step);
    }
    return true;
}
