#pragma once

#include <memory>

#include <QProcessEnvironment>
#include <QString>

#include "GlobalShortcuts/KeyboardLayout.h"

class WaylandSeatKeymap;
struct xkb_context;
struct xkb_keymap;

// The keyboard layout of a Wayland session: the keymap the compositor gives its seat's
// keyboard, which is what the user types with and follows layout changes. A compositor with no
// keyboard on its seat (or none reachable) sends none: then the system's default layout.
// Main thread only.
class WaylandKeyboardLayout final : public GlobalShortcuts::KeyboardLayout {
public:
    // Rules, model, layout, variant and options of an xkb keymap; empty means xkbcommon's own
    // default (evdev, pc105, us).
    struct Names {
        QString rules, model, layout, variant, options;
        friend bool operator==(const Names&, const Names&) = default;
    };

    WaylandKeyboardLayout();  // the compositor of WAYLAND_DISPLAY, this process's environment
    ~WaylandKeyboardLayout() override;

    std::optional<QString> text(GlobalShortcuts::Key key) const override;

    // The system's default layout: XKB_DEFAULT_* in `environment` (as compositors read them),
    // else the system keyboard file's XKB* variables (Debian's /etc/default/keyboard, given as
    // its text), else xkbcommon's default. A layout and its variant come from the same place.
    static Names defaultNames(const QProcessEnvironment& environment, const QString& keyboardFile);

    // A keymap compiled from names, falling back to xkbcommon's default when they do not
    // compile; the caller owns it.
    static xkb_keymap* compile(xkb_context* context, const Names& names);

private:
    xkb_keymap* fallback() const;

    xkb_context* m_context = nullptr;
    std::unique_ptr<WaylandSeatKeymap> m_seat;
    mutable xkb_keymap* m_fallback = nullptr;
};
