#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QList>
#include <QObject>
#include <QPointer>

#include "Capture/GlobalSpace.h"
#include "Capture/ScreenDescriptor.h"
#include "Overlay/OverlayPresenting.h"

class OverlayWindow;
class SelectionView;
class QScreen;

// Runs the overlays of one area capture: one window per display with its frozen image and a
// selection view; a selection started on one display clears the others; finishing or cancelling
// anywhere closes them all and reports once. While up, an application-wide key filter handles
// Escape, Return, Ctrl+C and Ctrl+S whichever overlay has the focus. Main thread only.
class OverlayWindowController : public QObject, public OverlayPresenting {
    Q_OBJECT

public:
    using Result = OverlayResult;

    struct Session {
        QPointer<OverlayWindow> window;
        QPointer<SelectionView> view;
        DisplayCapture capture;
    };

    // What the platform does for overlays beyond Qt: where the pointer is, and how a window is
    // made to cover exactly a display's pixels (Qt sizes windows in whole points, which at a
    // fractional scale can be a pixel more than the display).
    struct Platform {
        GlobalSpace::PointerLocator pointer;
        std::function<void(WId window, QSize pixels)> fitToPixels;
        // Puts rows of a first frame into a window just shown, ahead of Qt's first paint, from
        // row `top` (bands come from the top down); false: not shown.
        std::function<bool(WId window, const QImage& rows, int top)> showFirstFrame;
        // Fullscreen toplevels (Wayland): the pointer is unknown until it enters one of them.
        bool toplevels;
    };

    explicit OverlayWindowController(Platform platform = {}, QObject* parent = nullptr);
    ~OverlayWindowController() override;

    bool hasSessions() const override { return !m_sessions.isEmpty(); }
    void present(const QList<DisplayCapture>& captures, ExportAction defaultAction) override;
    // Makes each display's window and its backing store ahead of the first capture, and draws a
    // selection view once off screen so fonts and icons are loaded.
    void prewarm() override;
    // Makes the stores given back ready again while a capture runs. With Platform::showFirstFrame
    // nothing is done here: they are made ready once the first frames have gone out (present).
    void prepareWindows() override;
    void releaseMemory() override;
    // Closes every overlay without reporting.
    void dismiss();

    const QList<Session>& sessions() const { return m_sessions; }
    ExportAction defaultAction() const { return m_defaultAction; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OverlayWindow* windowFor(QScreen* screen, const QRect& geometry);
    OverlayWindow* windowFor(const DisplayCapture& capture);
    // Each display's window at its size, with its backing store allocated and touched.
    void prepareStores();
    // The views of sessions whose windows' stores are fresh, drawn as their first frames and
    // shown through the platform; then the stores made ready for Qt's first paint.
    void showFirstFrames(const QList<bool>& freshStores);
    void showFirstFrame(const Session& session);
    void installCallbacks(SelectionView* view);
    void clearSelections(const SelectionView* except);
    void complete(ExportAction action);
    void cancel();
    void installEscapeMonitor();
    void removeEscapeMonitor();
    std::optional<qsizetype> sessionUnderPointer() const;
    SelectionView* firstViewWithSelection() const;
    bool anyViewEditingText() const;
    bool handleKey(class QKeyEvent* event, bool act);
    void activateEntered(QObject* watched);

    Platform m_platform;
    QList<Session> m_sessions;
    bool m_monitorInstalled = false;
    ExportAction m_defaultAction = ExportAction::copy;
    // Overlay windows outlive their sessions: reusing one keeps its already-mapped backing
    // store, which on a 4K display is tens of megabytes of memory not to touch afresh.
    QList<OverlayWindow*> m_windowPool;
};
