#include <gtest/gtest.h>

#include <memory>

#include <xkbcommon/xkbcommon.h>

#include "GlobalShortcuts/Shortcut.h"
#include "Platform/Wayland/WaylandKeyboardLayout.h"
#include "Platform/XkbKeyText.h"

namespace EventModifier = GlobalShortcuts::EventModifier;
using GlobalShortcuts::Key;
using GlobalShortcuts::Shortcut;
using Names = WaylandKeyboardLayout::Names;

namespace {
struct ContextUnref {
    void operator()(xkb_context* c) const { xkb_context_unref(c); }
};
struct KeymapUnref {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};

// Sets environment variables for the test's length.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(std::initializer_list<std::pair<const char*, const char*>> values) {
        for (const auto& [name, value] : values) {
            m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
            value ? qputenv(name, value) : qunsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value, set] : m_saved) set ? qputenv(name, value) : qunsetenv(name);
    }

private:
    struct Saved {
        const char* name;
        QByteArray value;
        bool set;
    };
    QList<Saved> m_saved;
};
}  // namespace

TEST(XkbKeyText, AKeyTypesItsFirstLevelInTheFirstLatinGroup) {
    struct Case {
        QString layout, variant;
        Key key;
        std::optional<QString> text;
    };
    const Case cases[] = {
        {"us", "", Key::two, "2"},
        {"us", "", Key::a, "a"},
        {"us", "", Key::semicolon, ";"},
        {"fr", "", Key::two, QString::fromUtf8("é")},
        {"fr", "", Key::a, "q"},
        {"fr", "", Key::semicolon, "m"},
        {"de", "", Key::y, "z"},
        {"us", "dvorak", Key::s, "o"},
        // A non-Latin group first: the Latin one behind it names the keys.
        {"ru,fr", "", Key::a, "q"},
        {"ru", "", Key::a, std::nullopt},
        // No character: a function key, a modifier.
        {"us", "", Key::f5, std::nullopt},
        {"us", "", Key::shift, std::nullopt},
        // A layout that does not exist falls back to xkbcommon's own default.
        {"tessik-none", "", Key::two, "2"},
        {"", "", Key::two, "2"},
    };
    const std::unique_ptr<xkb_context, ContextUnref> context(
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    ASSERT_TRUE(context);
    for (const Case& c : cases) {
        const std::unique_ptr<xkb_keymap, KeymapUnref> keymap(
            WaylandKeyboardLayout::compile(context.get(), {"", "", c.layout, c.variant, ""}));
        ASSERT_TRUE(keymap) << c.layout.toStdString();
        EXPECT_EQ(XkbKeyText::text(keymap.get(), c.key), c.text)
            << c.layout.toStdString() << " " << c.variant.toStdString() << " key "
            << c.key.rawValue;
    }
    EXPECT_FALSE(XkbKeyText::text(nullptr, Key::two));
}

TEST(WaylandKeyboardLayout, TheDefaultLayoutComesFromTheEnvironmentThenTheSystemFile) {
    const QString debianFile =
        "# KEYBOARD CONFIGURATION FILE\n"
        "XKBMODEL=\"pc105\"\n"
        "XKBLAYOUT=\"fr\"\n"
        "XKBVARIANT='bepo'\n"
        "XKBOPTIONS=\"ctrl:nocaps\"\n"
        "BACKSPACE=\"guess\"\n";
    struct Case {
        const char* what;
        QList<std::pair<QString, QString>> environment;
        QString file;
        Names names;
    };
    const Case cases[] = {
        {"nothing: xkbcommon's default", {}, "", {}},
        {"the system file", {}, debianFile, {"", "pc105", "fr", "bepo", "ctrl:nocaps"}},
        {"the environment's layout takes its own variant",
         {{"XKB_DEFAULT_LAYOUT", "de"}},
         debianFile,
         {"", "pc105", "de", "", "ctrl:nocaps"}},
        {"every variable of the environment",
         {{"XKB_DEFAULT_RULES", "evdev"},
          {"XKB_DEFAULT_MODEL", "pc104"},
          {"XKB_DEFAULT_LAYOUT", "us"},
          {"XKB_DEFAULT_VARIANT", "dvorak"},
          {"XKB_DEFAULT_OPTIONS", "grp:alt_shift_toggle"}},
         debianFile,
         {"evdev", "pc104", "us", "dvorak", "grp:alt_shift_toggle"}},
        {"an empty variable counts as unset",
         {{"XKB_DEFAULT_LAYOUT", ""}},
         debianFile,
         {"", "pc105", "fr", "bepo", "ctrl:nocaps"}},
        {"comments, spaces and a broken line",
         {},
         "  XKBLAYOUT = us,ru \n#XKBLAYOUT=de\n=fr\nXKBVARIANT=\"\"\n",
         {"", "", "us,ru", "", ""}},
    };
    for (const Case& c : cases) {
        QProcessEnvironment environment;
        for (const auto& [name, value] : c.environment) environment.insert(name, value);
        EXPECT_EQ(WaylandKeyboardLayout::defaultNames(environment, c.file), c.names) << c.what;
    }
}

TEST(WaylandKeyboardLayout, WithoutACompositorKeysAreNamedAfterTheDefaultLayout) {
    const Shortcut shortcut(Key::two, EventModifier::command | EventModifier::shift);
    struct Case {
        const char* layout;
        const char* description;
    };
    for (const Case& c : {Case{"us", "⇧⌘2"}, Case{"fr", "⇧⌘É"}, Case{"ru,us", "⇧⌘2"}}) {
        const ScopedEnvironment environment{{"WAYLAND_DISPLAY", "tessik-no-such-display"},
                                            {"WAYLAND_SOCKET", nullptr},
                                            {"XKB_DEFAULT_LAYOUT", c.layout},
                                            {"XKB_DEFAULT_VARIANT", nullptr}};
        GlobalShortcuts::setKeyboardLayout(std::make_unique<WaylandKeyboardLayout>());
        EXPECT_EQ(shortcut.presentableDescription(), QString::fromUtf8(c.description)) << c.layout;
    }
    GlobalShortcuts::setKeyboardLayout(nullptr);
}
