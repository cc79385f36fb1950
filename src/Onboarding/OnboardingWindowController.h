#pragma once

#include <chrono>
#include <memory>

#include "Onboarding/OnboardingModel.h"

class OnboardingView;
class PermissionService;

// The permission walkthrough's window: built on the first show() with its model, then kept and
// reused; closing it only hides it.
class OnboardingWindowController {
public:
    explicit OnboardingWindowController(
        PermissionService& permissions,
        std::chrono::milliseconds pollInterval = OnboardingModel::defaultPollInterval);
    ~OnboardingWindowController();

    void show();

    // Null until the first show().
    OnboardingView* window() const { return m_window.get(); }
    OnboardingModel* model() const { return m_model.get(); }

private:
    void buildWindow();

    PermissionService& m_permissions;
    std::chrono::milliseconds m_pollInterval;
    // The model outlives the view that refers to it.
    std::unique_ptr<OnboardingModel> m_model;
    std::unique_ptr<OnboardingView> m_window;
};
