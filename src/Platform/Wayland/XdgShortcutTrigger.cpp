#include "Platform/Wayland/XdgShortcutTrigger.h"

#include <utility>

#include <linux/input-event-codes.h>

#include "GlobalShortcuts/Modifiers.h"

using namespace GlobalShortcuts;

namespace XdgShortcutTrigger {

namespace {
// Physical keys by their Linux input code, named as xkbcommon names the symbol a US layout gives
// them at the first level. Letters and digits are added in code.
constexpr std::pair<int, const char*> kNames[] = {
    {KEY_ENTER, "Return"},
    {KEY_BACKSLASH, "backslash"},
    {KEY_GRAVE, "grave"},
    {KEY_COMMA, "comma"},
    {KEY_EQUAL, "equal"},
    {KEY_MINUS, "minus"},
    {KEY_DOT, "period"},
    {KEY_APOSTROPHE, "apostrophe"},
    {KEY_SEMICOLON, "semicolon"},
    {KEY_SLASH, "slash"},
    {KEY_SPACE, "space"},
    {KEY_TAB, "Tab"},
    {KEY_LEFTBRACE, "bracketleft"},
    {KEY_RIGHTBRACE, "bracketright"},
    {KEY_102ND, "less"},
    {KEY_PAGEUP, "Page_Up"},
    {KEY_PAGEDOWN, "Page_Down"},
    {KEY_HOME, "Home"},
    {KEY_END, "End"},
    {KEY_UP, "Up"},
    {KEY_RIGHT, "Right"},
    {KEY_DOWN, "Down"},
    {KEY_LEFT, "Left"},
    {KEY_ESC, "Escape"},
    {KEY_BACKSPACE, "BackSpace"},
    {KEY_DELETE, "Delete"},
    {KEY_INSERT, "Insert"},
    {KEY_SYSRQ, "Print"},
    {KEY_SCROLLLOCK, "Scroll_Lock"},
    {KEY_PAUSE, "Pause"},
    {KEY_COMPOSE, "Menu"},
    {KEY_MUTE, "XF86AudioMute"},
    {KEY_VOLUMEUP, "XF86AudioRaiseVolume"},
    {KEY_VOLUMEDOWN, "XF86AudioLowerVolume"},
    {KEY_F1, "F1"},
    {KEY_F2, "F2"},
    {KEY_F3, "F3"},
    {KEY_F4, "F4"},
    {KEY_F5, "F5"},
    {KEY_F6, "F6"},
    {KEY_F7, "F7"},
    {KEY_F8, "F8"},
    {KEY_F9, "F9"},
    {KEY_F10, "F10"},
    {KEY_F11, "F11"},
    {KEY_F12, "F12"},
    {KEY_F13, "F13"},
    {KEY_F14, "F14"},
    {KEY_F15, "F15"},
    {KEY_F16, "F16"},
    {KEY_F17, "F17"},
    {KEY_F18, "F18"},
    {KEY_F19, "F19"},
    {KEY_F20, "F20"},
    {KEY_F21, "F21"},
    {KEY_F22, "F22"},
    {KEY_F23, "F23"},
    {KEY_F24, "F24"},
    {KEY_KP0, "KP_0"},
    {KEY_KP1, "KP_1"},
    {KEY_KP2, "KP_2"},
    {KEY_KP3, "KP_3"},
    {KEY_KP4, "KP_4"},
    {KEY_KP5, "KP_5"},
    {KEY_KP6, "KP_6"},
    {KEY_KP7, "KP_7"},
    {KEY_KP8, "KP_8"},
    {KEY_KP9, "KP_9"},
    // Keypad Clear sits where PC keyboards have Num Lock.
    {KEY_NUMLOCK, "Num_Lock"},
    {KEY_KPDOT, "KP_Decimal"},
    {KEY_KPSLASH, "KP_Divide"},
    {KEY_KPENTER, "KP_Enter"},
    {KEY_KPEQUAL, "KP_Equal"},
    {KEY_KPMINUS, "KP_Subtract"},
    {KEY_KPASTERISK, "KP_Multiply"},
    {KEY_KPPLUS, "KP_Add"},
};

// Input codes of the letter keys in alphabetical order, and of the digits 0-9.
constexpr int kLetters[] = {KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I,
                            KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R,
                            KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
constexpr int kDigits[] = {KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9};

// In the order the trigger lists them.
constexpr std::pair<qint64, const char*> kModifiers[] = {
    {CarbonModifier::command, "CTRL"},
    {CarbonModifier::option, "ALT"},
    {CarbonModifier::shift, "SHIFT"},
    {CarbonModifier::control, "LOGO"},
};

bool isLetterKey(int evdev) {
    for (const int code : kLetters)
        if (code == evdev) return true;
    return false;
}

// The layout's letter for a letter key, lower case; none when it gives something else.
std::optional<QString> layoutLetter(Key key, const LayoutText& layoutText) {
    if (!layoutText) return std::nullopt;
    const auto text = layoutText(key);
    if (!text || text->size() != 1) return std::nullopt;
    const QChar c = text->at(0).toLower();
    if (c < QLatin1Char('a') || c > QLatin1Char('z')) return std::nullopt;
    return QString(c);
}
}  // namespace

std::optional<QString> keyName(Key key) {
    const auto evdev = evdevCode(key);
    if (!evdev) return std::nullopt;
    for (int i = 0; i < 26; ++i)
        if (kLetters[i] == *evdev) return QString(QChar('a' + i));
    for (int i = 0; i < 10; ++i)
        if (kDigits[i] == *evdev) return QString(QChar('0' + i));
    for (const auto& [code, name] : kNames)
        if (code == *evdev) return QString::fromLatin1(name);
    return std::nullopt;
}

std::optional<QString> preferredTrigger(const Shortcut& shortcut, const LayoutText& layoutText) {
    const qint64 modifiers = shortcut.carbonModifiers;
    if (modifiers & CarbonModifier::function) return std::nullopt;
    auto name = keyName(shortcut.key());
    if (!name) return std::nullopt;
    const auto evdev = evdevCode(shortcut.key());
    if (evdev && isLetterKey(*evdev))
        if (const auto letter = layoutLetter(shortcut.key(), layoutText)) name = letter;
    QStringList parts;
    for (const auto& [bit, text] : kModifiers)
        if (modifiers & bit) parts << QString::fromLatin1(text);
    parts << *name;
    return parts.join(QLatin1Char('+'));
}

}  // namespace XdgShortcutTrigger
