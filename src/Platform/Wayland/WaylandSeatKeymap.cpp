#include "Platform/Wayland/WaylandSeatKeymap.h"

#include <algorithm>
#include <cstring>

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace {
void ignoreName(void*, wl_seat*, const char*) {
}
void ignoreRemove(void*, wl_registry*, unsigned) {
}
void ignoreEnter(void*, wl_keyboard*, unsigned, wl_surface*, wl_array*) {
}
void ignoreLeave(void*, wl_keyboard*, unsigned, wl_surface*) {
}
void ignoreKey(void*, wl_keyboard*, unsigned, unsigned, unsigned, unsigned) {
}
void ignoreModifiers(void*, wl_keyboard*, unsigned, unsigned, unsigned, unsigned, unsigned) {
}
void ignoreRepeat(void*, wl_keyboard*, int, int) {
}

// The seat interface's version whose events the listeners below all handle.
constexpr unsigned kSeatVersion = 5;
}  // namespace

WaylandSeatKeymap::WaylandSeatKeymap(xkb_context* context) : m_context(context) {
    m_display = wl_display_connect(nullptr);
    if (!m_display || !m_context) return;
    static const wl_registry_listener registryListener{&WaylandSeatKeymap::global, ignoreRemove};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &registryListener, this);
    // The globals, the seat's capabilities, then the keyboard's keymap.
    for (int i = 0; i < 3 && !m_keymap; ++i)
        if (wl_display_roundtrip(m_display) < 0) break;
}

WaylandSeatKeymap::~WaylandSeatKeymap() {
    if (m_keymap) xkb_keymap_unref(m_keymap);
    if (m_keyboard) wl_keyboard_destroy(m_keyboard);
    if (m_seat) wl_seat_destroy(m_seat);
    if (m_registry) wl_registry_destroy(m_registry);
    if (m_display) wl_display_disconnect(m_display);
}

void WaylandSeatKeymap::global(void* self, wl_registry* registry, unsigned name,
                               const char* interface, unsigned version) {
    auto* keymap = static_cast<WaylandSeatKeymap*>(self);
    // The first seat is the user's: desktops have one.
    if (keymap->m_seat || std::strcmp(interface, wl_seat_interface.name) != 0) return;
    static const wl_seat_listener seatListener{&WaylandSeatKeymap::capabilities, ignoreName};
    keymap->m_seat = static_cast<wl_seat*>(
        wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, kSeatVersion)));
    wl_seat_add_listener(keymap->m_seat, &seatListener, keymap);
}

void WaylandSeatKeymap::capabilities(void* self, wl_seat* seat, unsigned caps) {
    auto* keymap = static_cast<WaylandSeatKeymap*>(self);
    if (keymap->m_keyboard || !(caps & WL_SEAT_CAPABILITY_KEYBOARD)) return;
    static const wl_keyboard_listener keyboardListener{&WaylandSeatKeymap::keymap,
                                                       ignoreEnter,
                                                       ignoreLeave,
                                                       ignoreKey,
                                                       ignoreModifiers,
                                                       ignoreRepeat};
    keymap->m_keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(keymap->m_keyboard, &keyboardListener, keymap);
}

void WaylandSeatKeymap::keymap(void* self, wl_keyboard*, unsigned format, int fd, unsigned size) {
    auto* seatKeymap = static_cast<WaylandSeatKeymap*>(self);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0) {
        close(fd);
        return;
    }
    // Private: the compositor may share one read-only file with every client.
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED) return;
    // The text ends with a zero byte; an unusable one keeps the keymap sent before.
    xkb_keymap* compiled =
        xkb_keymap_new_from_buffer(seatKeymap->m_context, static_cast<const char*>(text),
                                   strnlen(static_cast<const char*>(text), size),
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (!compiled) return;
    if (seatKeymap->m_keymap) xkb_keymap_unref(seatKeymap->m_keymap);
    seatKeymap->m_keymap = compiled;
}

void WaylandSeatKeymap::readPending() {
    if (!m_display || wl_display_get_error(m_display)) return;
    while (wl_display_prepare_read(m_display) != 0) wl_display_dispatch_pending(m_display);
    wl_display_flush(m_display);
    pollfd readable{wl_display_get_fd(m_display), POLLIN, 0};
    if (poll(&readable, 1, 0) > 0)
        wl_display_read_events(m_display);
    else
        wl_display_cancel_read(m_display);
    wl_display_dispatch_pending(m_display);
}

xkb_keymap* WaylandSeatKeymap::current() {
    readPending();
    return m_keymap;
}
