#pragma once

#include <QWidget>

class DefaultsStore;

// The settings window itself: fixed size, hidden (not destroyed) when closed (also on Escape and
// Ctrl+W), and its frame remembered under an autosave name whenever it moves or hides.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    SettingsWindow(DefaultsStore& frames, QString autosaveName);

    // Puts back the remembered frame (which picks the screen), then centres the window on the
    // screen it is on.
    void restoreFrameAndCentre();

protected:
    void moveEvent(QMoveEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Escape and Ctrl+W close the window, as they do a desktop's dialogs.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void saveFrame();

    DefaultsStore& m_frames;
    QString m_autosaveName;
};
