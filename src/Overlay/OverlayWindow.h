#pragma once

#include <QWidget>

class QScreen;

// One display's overlay: a frameless, override-redirect top-level window that covers the
// display exactly, above panels and docks (a window manager never moves or decorates it), and
// that can still take the keyboard focus.
class OverlayWindow : public QWidget {
    Q_OBJECT

public:
    explicit OverlayWindow(QScreen* screen);

    // Puts the content (the selection view) in the window, filling it.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    // Shows and raises the window.
    void orderFront();
    // Shows and raises the window and gives it the keyboard focus.
    void makeKeyAndOrderFront();

    // Allocates the window's backing store at its size and touches every page of it, without
    // showing anything: fresh memory is slow to touch the first time, and a full-screen store is
    // tens of megabytes.
    void prepareBackingStore();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_content = nullptr;
};
