#include "Platform/X11/XkbKeyboardLayout.h"

#include <memory>

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>
#include <QGuiApplication>

namespace {
struct KeymapUnref {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};
using Keymap = std::unique_ptr<xkb_keymap, KeymapUnref>;

xcb_connection_t* qtConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xkb_keysym_t firstLevelSym(xkb_keymap* keymap, xkb_keycode_t keycode, xkb_layout_index_t group) {
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, keycode, group, 0, &syms) < 1)
        return XKB_KEY_NoSymbol;
    return syms[0];
}

// A group that types all 26 Latin letters on its first level (us, fr, de... but not ru).
bool isAsciiCapable(xkb_keymap* keymap, xkb_layout_index_t group) {
    quint32 letters = 0;
    for (xkb_keycode_t k = xkb_keymap_min_keycode(keymap); k <= xkb_keymap_max_keycode(keymap);
         ++k) {
        const xkb_keysym_t sym = xkb_keysym_to_lower(firstLevelSym(keymap, k, group));
        if (sym >= XKB_KEY_a && sym <= XKB_KEY_z) letters |= 1u << (sym - XKB_KEY_a);
    }
    return letters == (1u << 26) - 1;
}

std::optional<xkb_layout_index_t> firstAsciiCapableGroup(xkb_keymap* keymap) {
    for (xkb_layout_index_t g = 0; g < xkb_keymap_num_layouts(keymap); ++g)
        if (isAsciiCapable(keymap, g)) return g;
    return std::nullopt;
}
}  // namespace

XkbKeyboardLayout::XkbKeyboardLayout() : XkbKeyboardLayout(qtConnection()) {
}

XkbKeyboardLayout::XkbKeyboardLayout(xcb_connection_t* connection) {
    if (!connection) return;
    const int ok = xkb_x11_setup_xkb_extension(
        connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
        XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr);
    // Without XKB no key has a character.
    if (!ok) return;
    m_deviceId = xkb_x11_get_core_keyboard_device_id(connection);
    if (m_deviceId < 0) return;
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (m_context) m_connection = connection;
}

XkbKeyboardLayout::~XkbKeyboardLayout() {
    if (m_context) xkb_context_unref(m_context);
}

std::optional<QString> XkbKeyboardLayout::text(GlobalShortcuts::Key key) const {
    if (!m_connection) return std::nullopt;
    const auto keycode = GlobalShortcuts::xKeycode(key);
    if (!keycode) return std::nullopt;
    const Keymap keymap(xkb_x11_keymap_new_from_device(m_context, m_connection, m_deviceId,
                                                       XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) return std::nullopt;
    const auto group = firstAsciiCapableGroup(keymap.get());
    if (!group) return std::nullopt;
    const xkb_keysym_t sym = firstLevelSym(keymap.get(), *keycode, *group);
    char utf8[16] = {};
    const int size = xkb_keysym_to_utf8(sym, utf8, sizeof utf8);
    if (size <= 1) return std::nullopt;  // the count includes the terminating zero
    return QString::fromUtf8(utf8, size - 1);
}
