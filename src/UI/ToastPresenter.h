#pragma once

#include <memory>
#include <optional>

#include <QObject>
#include <QPropertyAnimation>
#include <QTimer>

#include "UI/ToastPanel.h"
#include "UI/ToastPresenting.h"

// Shows the export confirmation: fades one reused panel in near the bottom of a display, keeps it
// 1.5 s from the start of the fade-in, then fades it out. A newer toast replaces the shown one
// at once and restarts its time. Main thread only.
class ToastPresenter : public QObject, public ToastPresenting {
    Q_OBJECT

public:
    static constexpr int fadeInMs = 120;
    static constexpr int visibleMs = 1500;
    static constexpr int fadeOutMs = 250;
    // The first-launch message is a sentence, not a word: 6 s, four times the confirmation.
    static constexpr int mainDisplayVisibleMs = 6000;

    explicit ToastPresenter(QObject* parent = nullptr);
    ~ToastPresenter() override;

    void show(const QString& message, const ScreenDescriptor& screen) override;
    // Without a display: on the main display, or at the origin if there is none.
    void show(const QString& message, std::optional<ScreenDescriptor> screen,
              int visibleFor = visibleMs);
    void showOnMainDisplay(const QString& message) override;

    // The panel, once the first toast made it.
    ToastPanel* panel() const { return m_panel.get(); }
    bool isDismissPending() const { return m_dismissTimer.isActive(); }
    int dismissRemainingMs() const { return m_dismissTimer.remainingTime(); }
    bool isFadingOut() const { return m_fadingOut; }

private:
    void dismiss();
    void fadeFinished();

    std::unique_ptr<ToastPanel> m_panel;
    QTimer m_dismissTimer;
    QPropertyAnimation m_fade;
    bool m_fadingOut = false;
};
