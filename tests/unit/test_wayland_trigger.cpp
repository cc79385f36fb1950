#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include "GlobalShortcuts/SpecialKey.h"
#include "Platform/Wayland/XdgShortcutTrigger.h"

using namespace GlobalShortcuts;
using XdgShortcutTrigger::preferredTrigger;

namespace {
constexpr qint64 cmd = 0x100, shift = 0x200, opt = 0x800, ctl = 0x1000, fn = 0x20000;

// Every key the stored form names, special keys included.
const Key kAllKeys[] = {Key::a,
                        Key::b,
                        Key::c,
                        Key::d,
                        Key::e,
                        Key::f,
                        Key::g,
                        Key::h,
                        Key::i,
                        Key::j,
                        Key::k,
                        Key::l,
                        Key::m,
                        Key::n,
                        Key::o,
                        Key::p,
                        Key::q,
                        Key::r,
                        Key::s,
                        Key::t,
                        Key::u,
                        Key::v,
                        Key::w,
                        Key::x,
                        Key::y,
                        Key::z,
                        Key::zero,
                        Key::one,
                        Key::two,
                        Key::three,
                        Key::four,
                        Key::five,
                        Key::six,
                        Key::seven,
                        Key::eight,
                        Key::nine,
                        Key::returnKey,
                        Key::backslash,
                        Key::backtick,
                        Key::comma,
                        Key::equal,
                        Key::minus,
                        Key::period,
                        Key::quote,
                        Key::semicolon,
                        Key::slash,
                        Key::space,
                        Key::tab,
                        Key::leftBracket,
                        Key::rightBracket,
                        Key::pageUp,
                        Key::pageDown,
                        Key::home,
                        Key::end,
                        Key::upArrow,
                        Key::rightArrow,
                        Key::downArrow,
                        Key::leftArrow,
                        Key::escape,
                        Key::deleteKey,
                        Key::deleteForward,
                        Key::help,
                        Key::mute,
                        Key::volumeUp,
                        Key::volumeDown,
                        Key::f1,
                        Key::f2,
                        Key::f3,
                        Key::f4,
                        Key::f5,
                        Key::f6,
                        Key::f7,
                        Key::f8,
                        Key::f9,
                        Key::f10,
                        Key::f11,
                        Key::f12,
                        Key::f13,
                        Key::f14,
                        Key::f15,
                        Key::f16,
                        Key::f17,
                        Key::f18,
                        Key::f19,
                        Key::f20,
                        Key::keypad0,
                        Key::keypad1,
                        Key::keypad2,
                        Key::keypad3,
                        Key::keypad4,
                        Key::keypad5,
                        Key::keypad6,
                        Key::keypad7,
                        Key::keypad8,
                        Key::keypad9,
                        Key::keypadClear,
                        Key::keypadDecimal,
                        Key::keypadDivide,
                        Key::keypadEnter,
                        Key::keypadEquals,
                        Key::keypadMinus,
                        Key::keypadMultiply,
                        Key::keypadPlus};
const Key kModifierKeys[] = {Key::capsLock,     Key::shift,     Key::function,     Key::control,
                             Key::option,       Key::command,   Key::rightCommand, Key::rightOption,
                             Key::rightControl, Key::rightShift};
}  // namespace

TEST(WaylandTrigger, ConvertsStoredShortcutsToTheFreedesktopFormat) {
    struct Case {
        Key key;
        qint64 modifiers;
        const char* trigger;  // nullptr: no trigger
    };
    const Case cases[] = {
        {Key::two, cmd | shift, "CTRL+SHIFT+2"},
        {Key::k, cmd | opt, "CTRL+ALT+k"},
        {Key::a, cmd, "CTRL+a"},
        {Key::a, opt, "ALT+a"},
        {Key::a, shift, "SHIFT+a"},
        {Key::a, ctl, "LOGO+a"},
        {Key::z, cmd | opt | shift | ctl, "CTRL+ALT+SHIFT+LOGO+z"},
        {Key::zero, cmd, "CTRL+0"},
        {Key::nine, opt | shift, "ALT+SHIFT+9"},
        {Key::f1, 0, "F1"},
        {Key::f12, shift, "SHIFT+F12"},
        {Key::f20, cmd, "CTRL+F20"},
        {Key::keypad0, cmd, "CTRL+KP_0"},
        {Key::keypad9, 0, "KP_9"},
        {Key::keypadEnter, cmd, "CTRL+KP_Enter"},
        {Key::keypadPlus, cmd, "CTRL+KP_Add"},
        {Key::keypadMinus, cmd, "CTRL+KP_Subtract"},
        {Key::keypadMultiply, cmd, "CTRL+KP_Multiply"},
        {Key::keypadDivide, cmd, "CTRL+KP_Divide"},
        {Key::keypadDecimal, cmd, "CTRL+KP_Decimal"},
        {Key::keypadEquals, cmd, "CTRL+KP_Equal"},
        {Key::space, ctl, "LOGO+space"},
        {Key::returnKey, cmd, "CTRL+Return"},
        {Key::deleteKey, cmd, "CTRL+BackSpace"},
        {Key::deleteForward, cmd, "CTRL+Delete"},
        {Key::escape, cmd, "CTRL+Escape"},
        {Key::leftArrow, opt, "ALT+Left"},
        {Key::pageUp, cmd, "CTRL+Page_Up"},
        {Key::backtick, cmd, "CTRL+grave"},
        {Key::leftBracket, cmd, "CTRL+bracketleft"},
        {Key::mute, 0, "XF86AudioMute"},
        // The function modifier has no counterpart; modifier keys and keys the stored form
        // does not know have no name.
        {Key::a, cmd | fn, nullptr},
        {Key::f5, fn, nullptr},
        {Key::shift, cmd, nullptr},
        {Key::capsLock, 0, nullptr},
        {Key::command, shift, nullptr},
        {Key::function, 0, nullptr},
        {Key(-1), cmd, nullptr},
        {Key(10000), cmd, nullptr},
    };
    for (const Case& c : cases) {
        const auto trigger = preferredTrigger(Shortcut(c.key.rawValue, c.modifiers));
        if (c.trigger)
            EXPECT_EQ(trigger, QString::fromLatin1(c.trigger)) << c.key.rawValue;
        else
            EXPECT_FALSE(trigger.has_value()) << c.key.rawValue << " " << trigger->toStdString();
    }
    // Bits outside the five modifiers of a damaged entry are not said.
    EXPECT_EQ(preferredTrigger(Shortcut::unnormalized(19, cmd | shift | 0x400)), "CTRL+SHIFT+2");
}

TEST(WaylandTrigger, EveryKeyButModifiersHasAKeyNameXkbcommonKnows) {
    for (const Key key : kAllKeys) {
        const auto name = XdgShortcutTrigger::keyName(key);
        ASSERT_TRUE(name.has_value()) << key.rawValue;
        EXPECT_NE(xkb_keysym_from_name(name->toLatin1().constData(), XKB_KEYSYM_NO_FLAGS),
                  XKB_KEY_NoSymbol)
            << name->toStdString();
    }
    for (const Key key : kModifierKeys)
        EXPECT_FALSE(XdgShortcutTrigger::keyName(key).has_value()) << key.rawValue;
    // Each special key of the display table is covered.
    EXPECT_EQ(int(keyToSpecialKeyMapping().size()), specialKeyCount);
    for (const auto& [code, special] : keyToSpecialKeyMapping())
        EXPECT_TRUE(XdgShortcutTrigger::keyName(Key(code)).has_value()) << code;
}

TEST(WaylandTrigger, LetterKeysFollowTheLayoutOtherKeysKeepTheirPosition) {
    // An AZERTY layout: the key at Q types a, the key at 2 types é.
    const XdgShortcutTrigger::LayoutText azerty = [](Key key) -> std::optional<QString> {
        if (key == Key::q) return QStringLiteral("a");
        if (key == Key::a) return QStringLiteral("q");
        if (key == Key::m) return QStringLiteral(",");
        if (key == Key::two) return QString::fromUtf8("é");
        return std::nullopt;
    };
    EXPECT_EQ(preferredTrigger(Shortcut(Key::q, EventModifier::command), azerty), "CTRL+a");
    EXPECT_EQ(preferredTrigger(Shortcut(Key::a, EventModifier::command), azerty), "CTRL+q");
    // Only letters follow the layout: other keys keep the US name.
    EXPECT_EQ(preferredTrigger(Shortcut(Key::m, EventModifier::command), azerty), "CTRL+m");
    EXPECT_EQ(preferredTrigger(Shortcut(Key::two, EventModifier::command), azerty), "CTRL+2");
    EXPECT_EQ(preferredTrigger(Shortcut(Key::w, EventModifier::command), azerty), "CTRL+w");
}
