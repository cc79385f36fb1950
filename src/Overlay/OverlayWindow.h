#pragma once

#include <optional>

#include <QWidget>

#include "Base/ResidentPages.h"

class QScreen;

// One display's overlay: a frameless top-level window that covers the display exactly and can
// take the keyboard focus. On X11 it is override-redirect, above panels and docks (a window
// manager never moves or decorates it). A Wayland client cannot place a window: there it is a
// fullscreen toplevel whose output is chosen before it is shown.
class OverlayWindow : public QWidget {
    Q_OBJECT

public:
    enum class Style { overrideRedirect, fullScreenToplevel };

    explicit OverlayWindow(QScreen* screen, Style style = Style::overrideRedirect);
    Style style() const { return m_style; }

    // Puts the content (the selection view) in the window, filling it.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    // Shows and raises the window.
    void orderFront();
    // Shows and raises the window and gives it the keyboard focus.
    void makeKeyAndOrderFront();

    // Allocates the window's backing store at its size and touches every page of it, before
    // anything is painted: fresh memory is slow to touch the first time, and a full-screen store
    // is tens of megabytes. Nothing when the store is at size already.
    void prepareBackingStore();
    // Only allocates the store, when not at size, and returns its memory: the caller touches
    // the pages (on any threads) before the window is painted, resized or deleted.
    std::optional<PageRange> makeBackingStore();
    bool hasBackingStoreAtSize() const;
    // Gives back the backing store's memory while the window is hidden; the window itself is
    // kept, since making it again costs more than its store (10 to 30 ms here).
    void releaseBackingStore();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_content = nullptr;
    Style m_style;
};
