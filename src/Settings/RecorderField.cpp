#include "Settings/RecorderField.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QTimer>

#include "GlobalShortcuts/RecorderControl.h"

RecorderField::RecorderField(const GlobalShortcuts::Name& name, int focusRequests, QWidget* parent)
    : QWidget(parent), m_name(name), m_focusRequests(focusRequests) {
    m_coordinator.lastHandledRequest = focusRequests;
    m_control = new GlobalShortcuts::RecorderControl(name, {}, this);
    m_control->setRefusesFirstResponder(true);
    m_control->setFixedSize(fieldWidth, fieldHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_control);
    setFixedSize(fieldWidth, fieldHeight);
}

void RecorderField::update(const GlobalShortcuts::Name& name, int focusRequests, bool isRecording) {
    m_name = name;
    m_focusRequests = focusRequests;
    m_isRecording = isRecording;
    m_control->setShortcutName(name);
    const bool handled = m_coordinator.lastHandledRequest == focusRequests;
    // Once a recording has ended, the control refuses focus again until the next request.
    if (!isRecording && handled) m_control->setRefusesFirstResponder(true);
    if (handled) return;
    m_coordinator.lastHandledRequest = focusRequests;
    m_control->setRefusesFirstResponder(false);
    QTimer::singleShot(0, m_control, [control = QPointer(m_control)] {
        // Becoming the window's focus starts recording in the control.
        if (control && !control->isWindow()) control->setFocus(Qt::OtherFocusReason);
    });
}
