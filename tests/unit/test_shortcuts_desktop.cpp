#include <gtest/gtest.h>

#include "GlobalShortcuts/Key.h"
#include "Platform/X11/DesktopBindings.h"
#include "Platform/X11/X11HotKeyBackend.h"

using namespace GlobalShortcuts;

namespace {
QList<std::pair<qint64, qint64>> pairs(const QList<SystemHotKey>& hotKeys) {
    QList<std::pair<qint64, qint64>> out;
    for (const auto& h : hotKeys) out.append({h.keyCode, h.modifiers});
    return out;
}
}  // namespace

TEST(DesktopBindings, GnomeAccelerators) {
    struct Case {
        const char* text;
        std::optional<std::pair<qint64, qint64>> expected;
    };
    const Case cases[] = {
        {"<Super>Up", std::pair{Key::upArrow.rawValue, 0x1000ll}},
        {"<Primary><Alt>t", std::pair{Key::t.rawValue, 0x100ll | 0x800}},
        {"<Control><Shift>F12", std::pair{Key::f12.rawValue, 0x100ll | 0x200}},
        {"<Alt>F4", std::pair{Key::f4.rawValue, 0x800ll}},
        {"XF86AudioMute", std::pair{Key::mute.rawValue, 0ll}},
        {"<Super>Page_Down", std::pair{Key::pageDown.rawValue, 0x1000ll}},
        {"<Hyper>a", std::nullopt},
        {"Print", std::pair{Key::printScreen.rawValue, 0ll}},
        {"<Alt>Pause", std::pair{Key::pause.rawValue, 0x800ll}},
        {"XF86Calculator", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto parsed = DesktopBindings::parseGnomeAccelerator(c.text);
        if (!c.expected) {
            EXPECT_FALSE(parsed) << c.text;
            continue;
        }
        ASSERT_TRUE(parsed) << c.text;
        EXPECT_EQ(std::pair(parsed->keyCode, parsed->modifiers), *c.expected) << c.text;
    }
}

TEST(DesktopBindings, GsettingsListing) {
    const QString output =
        "org.gnome.desktop.wm.keybindings close ['<Alt>F4']\n"
        "org.gnome.desktop.wm.keybindings minimize @as []\n"
        "org.gnome.desktop.wm.keybindings switch-applications ['<Super>Tab', '<Alt>Tab']\n"
        "org.gnome.settings-daemon.plugins.media-keys volume-mute 'XF86AudioMute'\n";
    EXPECT_EQ(pairs(DesktopBindings::parseGsettings(output)),
              (QList<std::pair<qint64, qint64>>{{Key::f4.rawValue, 0x800},
                                                {Key::tab.rawValue, 0x1000},
                                                {Key::tab.rawValue, 0x800},
                                                {Key::mute.rawValue, 0}}));
}

TEST(DesktopBindings, KdeShortcutsFile) {
    const QString contents =
        "[kwin]\n"
        "_k_friendly_name=KWin\n"
        "Window Close=Alt+F4,Alt+F4,Close Window\n"
        "Expose=none,Ctrl+F9,Toggle Present Windows\n"
        "Switch to Desktop 2=Meta+Shift+2\\tCtrl+F2,Ctrl+F2,Switch to Desktop 2\n"
        "[org.kde.konsole.desktop]\n"
        "_launch=Ctrl+Alt+T,Ctrl+Alt+T,Konsole\n";
    EXPECT_EQ(pairs(DesktopBindings::parseKglobalshortcutsrc(contents)),
              (QList<std::pair<qint64, qint64>>{{Key::f4.rawValue, 0x800},
                                                {Key::two.rawValue, 0x1000 | 0x200},
                                                {Key::f2.rawValue, 0x100},
                                                {Key::t.rawValue, 0x100 | 0x800}}));
    // A chord of two steps is no global hot key.
    EXPECT_FALSE(DesktopBindings::parseKdeShortcut("Ctrl+K, Ctrl+L"));
    EXPECT_TRUE(DesktopBindings::parseKdeShortcut("Meta+E"));
}

TEST(X11Modifiers, ClassicBitsAndXMasks) {
    struct Case {
        quint32 carbon;
        quint16 x;
    };
    // Command is Control (4), shift is Shift (1), option is Mod1 (8), control is Mod4 (0x40).
    const Case cases[] = {{0x100, 4}, {0x200, 1}, {0x800, 8}, {0x1000, 0x40}, {0x300, 5}, {0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(X11HotKeyBackend::xModifiers(c.carbon), c.x) << c.carbon;
        EXPECT_EQ(X11HotKeyBackend::carbonModifiers(c.x), c.carbon) << c.carbon;
    }
    EXPECT_FALSE(X11HotKeyBackend::xModifiers(0x20000));  // function has no X counterpart
    // Lock (2), NumLock (Mod2, 0x10) and buttons never count.
    EXPECT_EQ(X11HotKeyBackend::carbonModifiers(4 | 2 | 0x10 | 0x100), 0x100u);
}

TEST(X11HotKeys, WithoutAnXConnectionEveryRegistrationIsRefused) {
    X11HotKeyBackend backend(nullptr);
    const auto result = backend.registerHotKey(19, 0x300, hotKeySignature, 1);
    ASSERT_FALSE(result);
    EXPECT_NE(result.error(), 0);
    EXPECT_FALSE(backend.installEventHandler([](const HotKeyEvent&) { return 0; }));
}
