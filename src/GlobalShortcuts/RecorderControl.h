#pragma once

#include <functional>
#include <optional>

#include <QLineEdit>
#include <QPointer>

#include "GlobalShortcuts/Name.h"
#include "GlobalShortcuts/Notifications.h"
#include "GlobalShortcuts/Shortcut.h"

class QAction;
class QKeyEvent;
class QMouseEvent;

namespace GlobalShortcuts {

class LocalEventMonitor;

// The field in which the user records the shortcut of one name. It shows the stored shortcut
// and a clear button while there is one. While it holds keyboard focus it records: an
// application-wide filter takes the next key combination, checks it (modifier, menu item,
// option-only, desktop binding) and stores it, swallows other keys and clicks inside, and the
// module's actions are paused. Main thread only.
class RecorderControl : public QLineEdit {
    Q_OBJECT

public:
    using OnChange = std::function<void(const std::optional<Shortcut>&)>;

    explicit RecorderControl(const Name& name, OnChange onChange = {}, QWidget* parent = nullptr);
    ~RecorderControl() override;

    const Name& shortcutName() const { return m_shortcutName; }
    // Another raw value shows that name's shortcut; the stored name is always replaced.
    void setShortcutName(const Name& name);

    // While true, clicking or tabbing cannot give the control focus, so it cannot start
    // recording by itself; the host focuses it when the user asks to record.
    bool refusesFirstResponder() const { return m_refusesFirstResponder; }
    void setRefusesFirstResponder(bool refuses);
    // Whether focus traversal may land on the control; false for one event-loop turn after the
    // control enters a window or its window becomes active.
    bool canBecomeKeyView() const { return m_canBecomeKey; }
    bool isRecording() const { return m_eventMonitor != nullptr; }
    // Where the desktop picks the keys (a shortcuts portal), what it reports is shown instead of
    // the stored shortcut's text, while a shortcut is stored; none shows the stored one.
    void setDesktopTrigger(const std::optional<QString>& trigger);

    // The field's clear button; visible exactly when the text is not empty.
    QAction* clearButton() const { return m_cancelButton; }

    static constexpr int minimumWidth = 130;
    static constexpr int fieldHeight = 24;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool becomeFirstResponder();
    void endRecording();
    void controlTextDidEndEditing();
    void controlTextDidChange();
    void clickClearButton();
    void setStringValue();
    void applyDisplayedState();
    void applyFocusPolicy();
    void endFocus();
    void focusAgain(bool resumingAfterAlert);

    void viewDidMoveToWindow();
    void preventBecomingKey();

    // The monitor's handler; true swallows the event.
    bool handleMonitoredEvent(QObject* receiver, QEvent* event);
    bool handleMouseUp(const QMouseEvent& event);
    bool handleKeyDown(const QKeyEvent& event);
    bool refusedByMenuItem(const Shortcut& candidate);
    bool refusedAsOptionOnly(const Shortcut& candidate);
    bool refusedBySystem(const Shortcut& candidate);
    void accept(const Shortcut& candidate);
    int showAlert(const struct RecorderAlert& alert);
    void postActiveStatus(bool active);

    static constexpr double clickSlop = 3;

    OnChange m_onChange;
    bool m_canBecomeKey = false;
    LocalEventMonitor* m_eventMonitor = nullptr;
    Notifications::Token m_shortcutsNameChangeObserver = 0;
    // The window whose activation is observed (the field's window, while it has one).
    QPointer<QWidget> m_observedWindow;
    Name m_shortcutName;
    std::optional<QString> m_desktopTrigger;
    QAction* m_cancelButton = nullptr;
    bool m_refusesFirstResponder = false;
    // Set while focus is being refused, so the focus loss is not an end of editing.
    bool m_refusingFocus = false;
    // After an alert the control takes focus back even while its host refuses clicks.
    bool m_resumeAfterAlert = false;
};

}  // namespace GlobalShortcuts
