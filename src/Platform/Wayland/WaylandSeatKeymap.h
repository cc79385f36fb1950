#pragma once

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_keyboard;
struct xkb_context;
struct xkb_keymap;

// The keymap a Wayland compositor gives its seat's keyboard, read through a connection of our
// own (Qt 6.4 shares neither its connection nor its keymap). The compositor sends it again when
// the user changes layout; what it sent is read, without waiting, at each call. Main thread
// only.
class WaylandSeatKeymap {
public:
    // Connects to the compositor named by WAYLAND_DISPLAY; without one, or without a keyboard on
    // its seat, there is no keymap.
    explicit WaylandSeatKeymap(xkb_context* context);
    ~WaylandSeatKeymap();
    WaylandSeatKeymap(const WaylandSeatKeymap&) = delete;
    WaylandSeatKeymap& operator=(const WaylandSeatKeymap&) = delete;

    // The keymap the compositor sent last; null when it sent none.
    xkb_keymap* current();

private:
    static void global(void* self, wl_registry* registry, unsigned name, const char* interface,
                       unsigned version);
    static void capabilities(void* self, wl_seat* seat, unsigned caps);
    static void keymap(void* self, wl_keyboard* keyboard, unsigned format, int fd, unsigned size);
    void readPending();

    xkb_context* m_context = nullptr;
    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    wl_keyboard* m_keyboard = nullptr;
    xkb_keymap* m_keymap = nullptr;
};
