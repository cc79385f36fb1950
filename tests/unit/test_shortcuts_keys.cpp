#include <gtest/gtest.h>

#include <set>
#include <vector>

#include <QKeyEvent>

#include "GlobalShortcuts/SpecialKey.h"
#include "support/ShortcutFakes.h"

using namespace GlobalShortcuts;

namespace {
const QString kGlobe = QString::fromUtf8("\U0001F310\uFE0E");
const QChar kReplacement = QChar::ReplacementCharacter;
}  // namespace

TEST(ShortcutModifiers, ConvertExactlyTheFiveModifiersBothWays) {
    struct Case {
        qint64 carbon;
        EventModifierFlags event;
    };
    const Case cases[] = {
        {0x100, 1u << 20},
        {0x200, 1u << 17},
        {0x800, 1u << 19},
        {0x1000, 1u << 18},
        {0x20000, 1u << 23},
        {0x100 | 0x200, (1u << 20) | (1u << 17)},
        {0x100 | 0x200 | 0x800 | 0x1000 | 0x20000,
         (1u << 20) | (1u << 17) | (1u << 19) | (1u << 18) | (1u << 23)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(eventFlags(c.carbon), c.event) << c.carbon;
        EXPECT_EQ(carbonModifiers(c.event), c.carbon) << c.carbon;
    }
    // Caps lock (0x400), keypad and device bits are dropped; the classic function bit is not the
    // event shift flag.
    EXPECT_EQ(normalizedCarbonModifiers(0x100 | 0x400 | 0x1 | 0x40000000), 0x100);
    EXPECT_EQ(carbonModifiers(1u << 16 | 1u << 21 | 0xFF), 0);
    EXPECT_EQ(eventFlags(0x20000), EventModifier::function);
}

TEST(ShortcutValue, ConstructorsNormalizeExceptTheDecoder) {
    EXPECT_EQ(Shortcut(19, 768 | 0x400).carbonModifiers, 768);
    EXPECT_EQ(Shortcut(Key::two, EventModifier::command | EventModifier::shift), Shortcut(19, 768));
    EXPECT_EQ(Shortcut::decoded(R"({"carbonKeyCode":19,"carbonModifiers":1792})")->carbonModifiers,
              1792);
    EXPECT_NE(Shortcut(1, 256), Shortcut(1, 512));
    EXPECT_NE(Shortcut(1, 256), Shortcut(2, 256));
    EXPECT_EQ(Shortcut(19, 768).key(), Key::two);
    EXPECT_EQ(Shortcut(19, 768).modifiers(), EventModifier::command | EventModifier::shift);
}

TEST(ShortcutCodedForm, EncodesCompactlyInMemberOrder) {
    EXPECT_EQ(Shortcut(Key::two, EventModifier::command | EventModifier::shift).encoded(),
              QByteArray(R"({"carbonKeyCode":19,"carbonModifiers":768})"));
    EXPECT_EQ(Shortcut::unnormalized(-5, 0).encoded(),
              QByteArray(R"({"carbonKeyCode":-5,"carbonModifiers":0})"));
}

TEST(ShortcutCodedForm, DecodesOnlyObjectsWithTwoIntegers) {
    struct Case {
        const char* json;
        std::optional<Shortcut> expected;
    };
    const Case cases[] = {
        {R"({"carbonKeyCode":19,"carbonModifiers":768})", Shortcut(19, 768)},
        {R"({"carbonModifiers":768,"carbonKeyCode":19})", Shortcut(19, 768)},
        {R"({"carbonKeyCode":19,"carbonModifiers":768,"other":"x"})", Shortcut(19, 768)},
        {R"({"carbonKeyCode":19.0,"carbonModifiers":768})", Shortcut(19, 768)},
        {R"({"carbonKeyCode":19})", std::nullopt},
        {R"({"carbonKeyCode":19.5,"carbonModifiers":768})", std::nullopt},
        {R"({"carbonKeyCode":"19","carbonModifiers":768})", std::nullopt},
        {R"({"carbonKeyCode":true,"carbonModifiers":768})", std::nullopt},
        {R"({"carbonKeyCode":1e300,"carbonModifiers":768})", std::nullopt},
        {R"([19,768])", std::nullopt},
        {"5", std::nullopt},
        {"0", std::nullopt},
        {"false", std::nullopt},
        {"", std::nullopt},
        {"{\"carbonKeyCode\":19,", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(Shortcut::decoded(c.json), c.expected) << c.json;
}

TEST(ShortcutKeys, PhysicalKeysMapToDistinctXKeycodes) {
    // Every named key except function has a PC position, and the X keycode is evdev + 8.
    std::set<quint32> keycodes;
    for (qint64 code = 0; code < 0x1100; ++code)
        if (const auto keycode = xKeycode(Key(code))) {
            EXPECT_TRUE(keycodes.insert(*keycode).second) << code;
            EXPECT_EQ(keyForXKeycode(*keycode), Key(code));
        }
    EXPECT_EQ(keycodes.size(), 118u);
    EXPECT_EQ(xKeycode(Key::two), 11u);
    EXPECT_EQ(xKeycode(Key::a), 38u);
    EXPECT_EQ(xKeycode(Key::command), 37u);   // left Ctrl
    EXPECT_EQ(xKeycode(Key::control), 133u);  // left Super
    EXPECT_EQ(xKeycode(Key::f12), 96u);
    EXPECT_FALSE(xKeycode(Key::function));
    EXPECT_FALSE(xKeycode(Key(-1)));
    EXPECT_FALSE(xKeycode(Key(0x10000)));
    EXPECT_FALSE(keyForXKeycode(8));
}

TEST(ShortcutKeys, PcKeysHaveTheirStoredCodesAndKeycodes) {
    // Stored code, X keycodes (the PC key's first), whether it stands alone like a function key.
    struct Case {
        Key key;
        qint64 code;
        std::vector<quint32> keycodes;
        bool functionKey;
    };
    const Case cases[] = {
        {Key::printScreen, 105, {107, 191}, true},  // Print, then F13
        {Key::scrollLock, 107, {78, 192}, true},    // Scroll Lock, then F14
        {Key::pause, 113, {127, 193}, true},        // Pause, then F15
        {Key::f16, 106, {194}, true},
        {Key::f20, 90, {198}, true},
        {Key::f21, 0x1015, {199}, true},
        {Key::f24, 0x1018, {202}, true},
        {Key::isoSection, 10, {94}, false},  // the key left of Z
        {Key::contextualMenu, 110, {135}, false},
        {Key::keypad5, 87, {84}, false},
        {Key::keypadEnter, 76, {104}, false},
        {Key::f1, 122, {67}, true},
        {Key::two, 19, {11}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.key.rawValue, c.code);
        EXPECT_EQ(xKeycodes(c.key), c.keycodes) << c.code;
        EXPECT_EQ(xKeycode(c.key), c.keycodes.front()) << c.code;
        for (const quint32 keycode : c.keycodes) EXPECT_EQ(keyForXKeycode(keycode), c.key);
        EXPECT_EQ(isFunctionKey(c.key), c.functionKey) << c.code;
    }
}

TEST(ShortcutKeys, SpecialKeysHaveTheirGlyphsAndMenuEquivalents) {
    EXPECT_EQ(keyToSpecialKeyMapping().size(), size_t(specialKeyCount));
    struct Case {
        Key key;
        QString text;
        std::optional<QString> menu;
    };
    const Case cases[] = {
        {Key::returnKey, QString(QChar(0x21A9)), QString(QChar(0x21A9))},
        {Key::deleteKey, QString(QChar(0x232B)), QString(QChar(0x232B))},
        {Key::help, QStringLiteral("?") + QChar(0x20DD), QStringLiteral("?") + QChar(0x20DD)},
        {Key::space, QStringLiteral("Espace"), QStringLiteral(" ")},
        {Key::leftArrow, QString(QChar(0x2190)), QString(QChar(0x2190))},
        {Key::f1, QStringLiteral("F1"), QString(QChar(0xF704))},
        {Key::f12, QStringLiteral("F12"), QString(QChar(0xF70F))},
        {Key::f20, QStringLiteral("F20"), QString(QChar(0xF717))},
        {Key::keypad7, QStringLiteral("7") + QChar(0x20E3), std::nullopt},
        {Key::keypadClear, QString(QChar(0x2612)) + QChar(0x20E3), std::nullopt},
        {Key::keypadEnter, QString(QChar(0x21A9)) + QChar(0x20E3), std::nullopt},
        {Key::keypadMinus, QStringLiteral("-") + QChar(0x20E3), std::nullopt},
        {Key::f24, QStringLiteral("F24"), QString(QChar(0xF71B))},
        {Key::contextualMenu, QStringLiteral("Menu"), QString(QChar(0xF735))},
    };
    GlobalShortcuts::setStringTable({{QStringLiteral("space_key"), QStringLiteral("espace")}});
    for (const Case& c : cases) {
        const auto special = specialKey(c.key.rawValue);
        ASSERT_TRUE(special) << c.key.rawValue;
        EXPECT_EQ(presentableDescription(*special), c.text) << c.key.rawValue;
        EXPECT_EQ(appKitMenuItemKeyEquivalent(*special), c.menu) << c.key.rawValue;
    }
    for (const Key plain :
         {Key::a, Key::two, Key::capsLock, Key::command, Key::mute, Key::volumeUp})
        EXPECT_FALSE(specialKey(plain.rawValue)) << plain.rawValue;
}

using ShortcutDisplay = ShortcutModuleFixture;

TEST_F(ShortcutDisplay, PresentableDescriptions) {
    const EventModifierFlags all = EventModifier::control | EventModifier::option |
                                   EventModifier::shift | EventModifier::command |
                                   EventModifier::function;
    struct Case {
        Shortcut shortcut;
        QString text;
    };
    const Case cases[] = {
        {Shortcut(Key::two, EventModifier::command | EventModifier::shift),
         QString::fromUtf8("⇧⌘2")},
        {Shortcut(Key::a, all), QString::fromUtf8("⌃⌥⇧⌘") + kGlobe + "A"},
        {Shortcut(Key::space, EventModifier::control | EventModifier::option),
         QString::fromUtf8("⌃⌥Espace")},
        {Shortcut(Key::f5, EventModifier::command), QString::fromUtf8("⌘F5")},
        {Shortcut(Key::f12), QStringLiteral("F12")},
        {Shortcut(Key::keypad3, EventModifier::option), QString::fromUtf8("⌥3") + QChar(0x20E3)},
        {Shortcut(Key::comma, EventModifier::command), QString::fromUtf8("⌘,")},
        // The layout has no text for these: the replacement character stands in.
        {Shortcut(Key::semicolon, EventModifier::command), QString::fromUtf8("⌘") + kReplacement},
        {Shortcut::unnormalized(-3, 256), QString::fromUtf8("⌘") + kReplacement},
        {Shortcut::unnormalized(0x10000, 256), QString::fromUtf8("⌘") + kReplacement},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shortcut.presentableDescription(), c.text) << c.text.toStdString();
}

TEST_F(ShortcutDisplay, FollowsTheLayout) {
    const Shortcut shortcut(Key::two, EventModifier::command | EventModifier::shift);
    GlobalShortcuts::setKeyboardLayout(FakeKeyboardLayout::french());
    EXPECT_EQ(shortcut.presentableDescription(), QString::fromUtf8("⇧⌘É"));
    EXPECT_EQ(shortcut.keyToCharacter(), QString::fromUtf8("é"));
    EXPECT_EQ(Shortcut(Key::a, EventModifier::command).presentableDescription(),
              QString::fromUtf8("⌘Q"));

    auto missing = FakeKeyboardLayout::us();
    missing->available = false;
    GlobalShortcuts::setKeyboardLayout(std::move(missing));
    EXPECT_EQ(shortcut.presentableDescription(), QString::fromUtf8("⇧⌘") + kReplacement);
    GlobalShortcuts::setKeyboardLayout(nullptr);
    EXPECT_FALSE(shortcut.keyToCharacter());
}

TEST_F(ShortcutDisplay, NativeTextNamesKeysTheLinuxWayInFrench) {
    // Qt's own key names with its French translation loaded; no modifier glyph anywhere.
    struct Case {
        Shortcut shortcut;
        const char* text;
    };
    const EventModifierFlags ctrl = EventModifier::command, shift = EventModifier::shift,
                             alt = EventModifier::option, super = EventModifier::control;
    const Case cases[] = {
        {Shortcut(Key::two, ctrl | shift), "Ctrl+Maj+2"},
        {Shortcut(Key::k, ctrl | alt), "Ctrl+Alt+K"},
        {Shortcut(Key::a, super), "Méta+A"},
        {Shortcut(Key::comma, ctrl), "Ctrl+,"},
        {Shortcut(Key::f5), "F5"},
        {Shortcut(Key::f13), "Imprimer"},
        {Shortcut(Key::f14), "Arrêt défil"},
        {Shortcut(Key::f15, shift), "Maj+Pause"},
        {Shortcut(Key::f16), "F16"},
        {Shortcut(Key::f24), "F24"},
        {Shortcut(Key::contextualMenu, ctrl), "Ctrl+Menu"},
        {Shortcut(Key::isoSection, ctrl), "Ctrl+<"},
        {Shortcut(Key::keypad5, ctrl), "Ctrl+Num+5"},
        {Shortcut(Key::keypadEnter, alt), "Alt+Num+Entrée"},
        {Shortcut(Key::keypadPlus, ctrl), "Ctrl+Num++"},
        {Shortcut(Key::space, super | alt), "Méta+Alt+Espace"},
        {Shortcut(Key::escape, ctrl), "Ctrl+Échap"},
        {Shortcut(Key::deleteKey, ctrl), "Ctrl+Effacement"},
        {Shortcut(Key::deleteForward, ctrl), "Ctrl+Suppr"},
        {Shortcut(Key::help, ctrl), "Ctrl+Inser"},
        {Shortcut(Key::returnKey, ctrl), "Ctrl+Retour"},
        {Shortcut(Key::upArrow, ctrl), "Ctrl+Haut"},
        {Shortcut(Key::pageDown, ctrl), "Ctrl+Page suiv"},
        {Shortcut(Key::mute), "Volume muet"},
        // No character from the layout: the replacement character stands in.
        {Shortcut(Key::semicolon, ctrl), "Ctrl+\uFFFD"},
        {Shortcut::unnormalized(0x10000, 256), "Ctrl+\uFFFD"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shortcut.nativeText(), QString::fromUtf8(c.text)) << c.text;
    EXPECT_FALSE(Shortcut(Key::semicolon, ctrl).keyCombination());
    EXPECT_EQ(Shortcut(Key::keypad5, ctrl).keyCombination(),
              QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_5));

    // Layout keys follow the layout, upper case as Qt names them.
    GlobalShortcuts::setKeyboardLayout(FakeKeyboardLayout::french());
    EXPECT_EQ(Shortcut(Key::two, ctrl | shift).nativeText(), QString::fromUtf8("Ctrl+Maj+É"));
    EXPECT_EQ(Shortcut(Key::a, ctrl).nativeText(), QStringLiteral("Ctrl+Q"));
}

TEST_F(ShortcutDisplay, OnlyASingleCharacterCounts) {
    m_layout->texts[Key::q.rawValue] = QStringLiteral("ab");
    m_layout->texts[Key::z.rawValue] = QString();
    m_layout->texts[Key::one.rawValue] = QString::fromUtf8("e\u0301");  // one grapheme
    EXPECT_FALSE(Shortcut(Key::q).keyToCharacter());
    EXPECT_FALSE(Shortcut(Key::z).keyToCharacter());
    EXPECT_EQ(Shortcut(Key::one).keyToCharacter(), QString::fromUtf8("e\u0301"));
    EXPECT_FALSE(Shortcut(Key::f1).keyToCharacter());  // special keys never translate
}

TEST_F(ShortcutDisplay, MenuKeyEquivalents) {
    EXPECT_EQ(Shortcut(Key::f12).nsMenuItemKeyEquivalent(), QString(QChar(0xF70F)));
    EXPECT_EQ(Shortcut(Key::keypad1, EventModifier::command).nsMenuItemKeyEquivalent(),
              std::nullopt);
    EXPECT_EQ(Shortcut(Key::s, EventModifier::command).nsMenuItemKeyEquivalent(),
              QStringLiteral("s"));
    EXPECT_EQ(Shortcut(Key::space).nsMenuItemKeyEquivalent(), QStringLiteral(" "));
}

TEST(ShortcutFromEvent, ReadsThePhysicalKeyAndMapsQtModifiers) {
    // Native scan code 11 is the X keycode of the "2" position.
    const QKeyEvent press(QEvent::KeyPress, Qt::Key_At, Qt::ControlModifier | Qt::ShiftModifier, 11,
                          0, 0);
    EXPECT_EQ(Shortcut::fromEvent(press), Shortcut(19, 768));
    const QKeyEvent release(QEvent::KeyRelease, Qt::Key_A,
                            Qt::AltModifier | Qt::MetaModifier | Qt::KeypadModifier, 38, 0, 0);
    EXPECT_EQ(Shortcut::fromEvent(release),
              Shortcut(Key::a, EventModifier::option | EventModifier::control));
    const QKeyEvent unknown(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, 255, 0, 0);
    EXPECT_FALSE(Shortcut::fromEvent(unknown));
    const QKeyEvent other(QEvent::ShortcutOverride, Qt::Key_A, Qt::NoModifier, 38, 0, 0);
    EXPECT_FALSE(Shortcut::fromEvent(other));
}
