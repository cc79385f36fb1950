#include "Platform/X11/XkbKeyboardLayout.h"

#include <memory>

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include "Platform/X11/QtConnection.h"
#include "Platform/XkbKeyText.h"

namespace {
struct KeymapUnref {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};
using Keymap = std::unique_ptr<xkb_keymap, KeymapUnref>;

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
    const Keymap keymap(xkb_x11_keymap_new_from_device(m_context, m_connection, m_deviceId,
                                                       XKB_KEYMAP_COMPILE_NO_FLAGS));
    return XkbKeyText::text(keymap.get(), key);
}
