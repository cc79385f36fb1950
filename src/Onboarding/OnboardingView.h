#pragma once

#include <QWidget>

#include "Onboarding/OnboardingModel.h"

class QPushButton;

// The onboarding window's content, 440 points wide: the header, a divider and the screen of the
// model's current step. It watches for the permission while it is on screen.
class OnboardingView : public QWidget {
    Q_OBJECT

public:
    static constexpr int fixedWidth = 440;

    explicit OnboardingView(OnboardingModel& model, QWidget* parent = nullptr);

    // The button Return activates on the screen now shown.
    QPushButton* defaultButton() const;
    QWidget* requestScreen() const { return m_requestScreen; }
    QWidget* grantedScreen() const { return m_grantedScreen; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeRequestScreen();
    QWidget* makeGrantedScreen();
    void showStep(OnboardingModel::Step step);
    void fitHeight();

    OnboardingModel& m_model;
    QWidget* m_requestScreen = nullptr;
    QWidget* m_grantedScreen = nullptr;
    QPushButton* m_openSettings = nullptr;
    QPushButton* m_relaunch = nullptr;
};
