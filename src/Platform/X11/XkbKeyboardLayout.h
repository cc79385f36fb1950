#pragma once

#include "GlobalShortcuts/KeyboardLayout.h"

struct xcb_connection_t;
struct xkb_context;

// The X server's current keymap through xkbcommon: a key's text is its first-level symbol in the
// first group that can type every Latin letter, so shortcuts read as they are typed even while a
// non-Latin group is active. The keymap is fetched at every call, so the text follows layout
// changes. Main thread only (it uses Qt's connection).
class XkbKeyboardLayout final : public GlobalShortcuts::KeyboardLayout {
public:
    XkbKeyboardLayout();  // Qt's connection
    explicit XkbKeyboardLayout(xcb_connection_t* connection);
    ~XkbKeyboardLayout() override;

    std::optional<QString> text(GlobalShortcuts::Key key) const override;

private:
    xcb_connection_t* m_connection = nullptr;
    xkb_context* m_context = nullptr;
    qint32 m_deviceId = -1;
};
