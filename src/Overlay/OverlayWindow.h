#pragma once

#include <cstddef>
#include <optional>

#include <QWidget>

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
    // The memory of a backing store just made, whose pages are still to be touched.
    struct StorePages {
        uchar* data;
        std::size_t size;
    };
    // Only allocates the store, when not at size: the caller touches the pages (on any thread)
    // before the window is painted, resized or deleted.
    std::optional<StorePages> makeBackingStore();
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
