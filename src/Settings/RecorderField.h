#pragma once

#include <QWidget>

#include "GlobalShortcuts/Name.h"

namespace GlobalShortcuts {
class RecorderControl;
}

// Hosts the shortcut recorder in the settings row and decides when it may take focus: never by
// itself, only on the next event-loop turn after the user asked to record ("Modifier").
class RecorderField : public QWidget {
    Q_OBJECT

public:
    // The focus requests already handled.
    struct Coordinator {
        int lastHandledRequest = 0;
    };

    RecorderField(const GlobalShortcuts::Name& name, int focusRequests, QWidget* parent = nullptr);

    // Copies the row's state in; a new focus request lets the control take focus and focuses it
    // on the next turn of the event loop.
    void update(const GlobalShortcuts::Name& name, int focusRequests, bool isRecording);

    GlobalShortcuts::RecorderControl* control() const { return m_control; }
    const Coordinator& coordinator() const { return m_coordinator; }

    static constexpr int fieldWidth = 140;
    static constexpr int fieldHeight = 24;

private:
    GlobalShortcuts::Name m_name;
    int m_focusRequests = 0;
    bool m_isRecording = false;
    Coordinator m_coordinator;
    GlobalShortcuts::RecorderControl* m_control = nullptr;
};
