#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include <QList>
#include <QObject>
#include <QTimer>

#include "Capture/ScreenDescriptor.h"

class OverlayWindow;
class QWindow;

// The full-screen copy where the compositor takes the clipboard only from a client with the
// keyboard, and tells no client where the pointer is (Wayland). The frozen displays are shown
// for a moment, one fullscreen window each: the display whose window the pointer enters (or,
// failing that, the one the compositor gives the keyboard) is handed to `copy` while one of
// these windows has the keyboard. Then they close and the keyboard goes back where it was.
class FullScreenHandover : public QObject {
    Q_OBJECT

public:
    using Copy = std::function<void(const DisplayCapture&)>;
    struct Timing {
        // After a window got the keyboard: how long the pointer may take to enter one.
        std::chrono::milliseconds pointerGrace{150};
        // Without the keyboard after this, `copy` runs anyway: a compositor that takes the
        // clipboard without it (or a slow one) still gets the image.
        std::chrono::milliseconds keyboardTimeout{3000};
    };

    FullScreenHandover();
    explicit FullScreenHandover(Timing timing, QObject* parent = nullptr);
    ~FullScreenHandover() override;

    // Calls `copy` exactly once, with one of `captures` (none shown: not at all). A handover
    // still under way is finished first. Main thread.
    void present(const QList<DisplayCapture>& captures, Copy copy);
    bool isShowing() const { return !m_shown.isEmpty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Shown {
        OverlayWindow* window;
        DisplayCapture capture;
    };
    void keyboardMoved(QWindow* window);
    void finish();
    void close();
    qsizetype indexOf(const QObject* window) const;
    qsizetype ownWithKeyboard() const;

    Timing m_timing;
    QList<Shown> m_shown;
    Copy m_copy;
    std::optional<qsizetype> m_entered;
    QTimer m_grace;
    QTimer m_timeout;
};
