#include "Platform/XkbKeyText.h"

#include <xkbcommon/xkbcommon.h>

namespace XkbKeyText {

namespace {
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

std::optional<QString> text(xkb_keymap* keymap, GlobalShortcuts::Key key) {
    if (!keymap) return std::nullopt;
    const auto keycode = GlobalShortcuts::xKeycode(key);
    if (!keycode) return std::nullopt;
    const auto group = firstAsciiCapableGroup(keymap);
    if (!group) return std::nullopt;
    const xkb_keysym_t sym = firstLevelSym(keymap, *keycode, *group);
    char utf8[16] = {};
    const int size = xkb_keysym_to_utf8(sym, utf8, sizeof utf8);
    if (size <= 1) return std::nullopt;  // the count includes the terminating zero
    return QString::fromUtf8(utf8, size - 1);
}

}  // namespace XkbKeyText
