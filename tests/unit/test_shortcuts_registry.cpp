#include <gtest/gtest.h>

#include <QMenu>

#include "support/ShortcutFakes.h"

using namespace GlobalShortcuts;
namespace Registry = GlobalShortcuts::HotKeyRegistry;

namespace {
const Shortcut kA(Key::a, EventModifier::command);
const Shortcut kB(Key::b, EventModifier::command | EventModifier::option);

HotKeyEvent hotKey(int kind, quint32 id, quint32 signature = hotKeySignature) {
    HotKeyEvent e;
    e.kind = kind;
    e.id = id;
    e.signature = signature;
    return e;
}

HotKeyEvent raw(int kind, const Shortcut& s, quint32 extraModifiers = 0) {
    HotKeyEvent e;
    e.kind = kind;
    e.keyCode = quint32(s.carbonKeyCode);
    e.modifiers = quint32(s.carbonModifiers) | extraModifiers;
    return e;
}

QList<qint64> ids() {
    QList<qint64> all;
    for (const auto& h : Registry::hotKeys()) all << h.carbonHotKeyId;
    return all;
}
}  // namespace

class HotKeyRegistryTest : public ShortcutModuleFixture {
protected:
    QStringList calls;
    void add(const Shortcut& s, const QString& tag) {
        Registry::registerHotKey(
            s, [this, tag](const Shortcut&) { calls << tag + " down"; },
            [this, tag](const Shortcut&) { calls << tag + " up"; });
    }
};

TEST_F(HotKeyRegistryTest, IdsStartAtOneAndAreNeverReused) {
    EXPECT_FALSE(Registry::isEventHandlerInstalled());
    add(kA, "a");
    EXPECT_EQ(ids(), QList<qint64>{1});
    EXPECT_TRUE(Registry::isEventHandlerInstalled());
    EXPECT_TRUE(m_backend->hotKeyEvents);  // active mode after installing
    Registry::unregister(kA);
    add(kA, "a");
    EXPECT_EQ(ids(), QList<qint64>{2});
    EXPECT_EQ(m_backend->live.begin()->second.signature, hotKeySignature);
    EXPECT_EQ(m_backend->live.begin()->second.id, 2u);
    EXPECT_EQ(m_backend->installs, 1);
}

TEST_F(HotKeyRegistryTest, DuplicatesMakeTwoEntriesAndOneUnregisterRemovesBoth) {
    add(kA, "first");
    add(kA, "second");
    add(kB, "b");
    EXPECT_EQ(ids(), (QList<qint64>{1, 2, 3}));
    Registry::unregister(kA);
    EXPECT_EQ(ids(), QList<qint64>{3});
    EXPECT_EQ(m_backend->live.size(), 1u);
    Registry::unregister(kA);  // no entry: nothing happens
    EXPECT_EQ(ids(), QList<qint64>{3});
}

TEST_F(HotKeyRegistryTest, HotKeyEventsRunTheEntryOrPassOn) {
    add(kA, "a");
    add(kB, "b");
    struct Case {
        HotKeyEvent event;
        int status;
        QStringList calls;
    };
    const Case cases[] = {
        {hotKey(HotKeyEvent::hotKeyPressed, 1), noErr, {"a down"}},
        {hotKey(HotKeyEvent::hotKeyReleased, 2), noErr, {"b up"}},
        {hotKey(HotKeyEvent::hotKeyPressed, 1, 0x41424344), eventNotHandledErr, {}},
        {hotKey(HotKeyEvent::hotKeyPressed, 9), eventNotHandledErr, {}},
        {hotKey(7, 1), eventNotHandledErr, {}},
        {raw(HotKeyEvent::rawKeyDown, kA), noErr, {"a down"}},
        {raw(HotKeyEvent::rawKeyUp, kB), noErr, {"b up"}},
        // Stray bits such as caps lock are normalized away before matching.
        {raw(HotKeyEvent::rawKeyDown, kA, 0x400), noErr, {"a down"}},
        {raw(HotKeyEvent::rawKeyDown, Shortcut(Key::a, 0)), eventNotHandledErr, {}},
    };
    for (const Case& c : cases) {
        calls.clear();
        EXPECT_EQ(Registry::hotKeyRegistryEventHandler(&c.event), c.status)
            << c.event.kind << " " << c.event.id;
        EXPECT_EQ(calls, c.calls) << c.event.kind << " " << c.event.id;
    }
    EXPECT_EQ(Registry::hotKeyRegistryEventHandler(nullptr), eventNotHandledErr);
    Registry::unregister(kA);
    const HotKeyEvent gone = hotKey(HotKeyEvent::hotKeyPressed, 1);
    EXPECT_EQ(Registry::hotKeyRegistryEventHandler(&gone), eventNotHandledErr);
}

TEST_F(HotKeyRegistryTest, ARefusalPrintsOneLineAndAddsNoEntry) {
    m_backend->refusals[{quint32(kA.carbonKeyCode), quint32(kA.carbonModifiers)}] = 10;
    testing::internal::CaptureStdout();
    add(kA, "a");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("Error registering hotkey ⌘A: 10\n"));
    EXPECT_TRUE(ids().isEmpty());
    EXPECT_FALSE(Registry::isEventHandlerInstalled());
    add(kB, "b");
    EXPECT_EQ(ids(), QList<qint64>{2});  // the refused one used id 1
}

TEST_F(HotKeyRegistryTest, ALaterRefusalPrintsTheLineAndDropsOnlyThatEntry) {
    add(kA, "a");
    add(kB, "b");
    HotKeyEvent refused = hotKey(HotKeyEvent::registrationRefused, 1);
    refused.status = 2;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Registry::hotKeyRegistryEventHandler(&refused), noErr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("Error registering hotkey ⌘A: 2\n"));
    EXPECT_EQ(ids(), QList<qint64>{2});
    // Someone else's identity, and an entry already gone, change nothing and print nothing.
    const HotKeyEvent foreign = hotKey(HotKeyEvent::registrationRefused, 2, 0x41424344);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Registry::hotKeyRegistryEventHandler(&foreign), eventNotHandledErr);
    EXPECT_EQ(Registry::hotKeyRegistryEventHandler(&refused), eventNotHandledErr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string());
    EXPECT_EQ(ids(), QList<qint64>{2});
}

TEST_F(HotKeyRegistryTest, DamagedKeyCodesAreRefusedWithoutReachingThePlatform) {
    testing::internal::CaptureStdout();
    Registry::registerHotKey(Shortcut::unnormalized(-1, 256), {}, {});
    Registry::registerHotKey(Shortcut::unnormalized(0x100000000ll, 256), {}, {});
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(m_backend->registerCalls, 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
    EXPECT_NE(out.find("Error registering hotkey ⌘\xEF\xBF\xBD: 2"), std::string::npos) << out;
}

TEST_F(HotKeyRegistryTest, OnlyFunctionKeysAreGrabbedWithoutAModifier) {
    const struct {
        Shortcut shortcut;
        bool grabbed;
    } cases[] = {
        {Shortcut::unnormalized(19, 0), false},  // a bare "2" would be taken from every window
        {Shortcut(Key::two, EventModifier::shift), false},
        {Shortcut(Key::space, 0), false},
        {Shortcut(Key::keypad1, 0), false},
        {Shortcut(Key::escape, 0), false},
        {Shortcut::unnormalized(19, CarbonModifier::function), false},
        {Shortcut::unnormalized(19, 0x400), false},  // caps lock is no modifier
        {Shortcut(Key::f12, 0), true},
        {Shortcut(Key::f13, 0), true},
        {Shortcut(Key::f1, EventModifier::shift), true},
        {Shortcut(Key::two, EventModifier::option), true},
        {Shortcut(Key::two, EventModifier::control), true},
    };
    for (const auto& c : cases) {
        Registry::resetForTesting();
        m_backend->registerCalls = 0;
        testing::internal::CaptureStdout();
        add(c.shortcut, "x");
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string what = c.shortcut.encoded().toStdString();
        EXPECT_EQ(m_backend->registerCalls, c.grabbed ? 1 : 0) << what;
        EXPECT_EQ(ids().size(), c.grabbed ? 1 : 0) << what;
        if (c.grabbed)
            EXPECT_EQ(out, "") << what;
        else
            EXPECT_EQ(out, "Error registering hotkey " +
                               c.shortcut.presentableDescription().toStdString() + ": 2\n")
                << what;
    }
}

TEST_F(HotKeyRegistryTest, SwitchedOffWithdrawsAndKeepsIds) {
    add(kA, "a");
    add(kB, "b");
    setEnabled(false);
    EXPECT_TRUE(m_backend->live.empty());
    EXPECT_FALSE(m_backend->hotKeyEvents);
    EXPECT_FALSE(m_backend->rawKeyEvents);
    EXPECT_EQ(ids(), (QList<qint64>{1, 2}));
    for (const auto& h : Registry::hotKeys()) EXPECT_FALSE(h.carbonHotKey);
    setEnabled(true);
    EXPECT_EQ(m_backend->liveIds(), (std::set<quint32>{1, 2}));
    EXPECT_TRUE(m_backend->hotKeyEvents);
}

TEST_F(HotKeyRegistryTest, SoftRegistrationDropsEntriesThePlatformNowRefuses) {
    add(kA, "a");
    add(kB, "b");
    setEnabled(false);
    m_backend->refusals[{quint32(kB.carbonKeyCode), quint32(kB.carbonModifiers)}] = 10;
    testing::internal::CaptureStdout();
    setEnabled(true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("Error registering hotkey ⌥⌘B: 10\n"));
    EXPECT_EQ(ids(), QList<qint64>{1});
}

TEST_F(HotKeyRegistryTest, AnOpenMenuMatchesRawKeysInstead) {
    const Name name(QStringLiteral("menuName"), kA);
    add(kB, "b");
    int runs = 0;
    onKeyDown(name, [&] { ++runs; });
    QMenu menu;
    menu.addAction(QStringLiteral("Capture zone"));
    menu.popup(QPoint(10, 10));
    ASSERT_TRUE(isMenuOpen());
    EXPECT_TRUE(m_backend->live.empty());
    EXPECT_FALSE(m_backend->hotKeyEvents);
    EXPECT_TRUE(m_backend->rawKeyEvents);
    const HotKeyEvent down = raw(HotKeyEvent::rawKeyDown, kA);
    EXPECT_EQ(m_backend->handler(down), noErr);
    EXPECT_EQ(runs, 1);
    const HotKeyEvent other =
        raw(HotKeyEvent::rawKeyDown, Shortcut(Key::z, EventModifier::command));
    EXPECT_EQ(m_backend->handler(other), eventNotHandledErr);
    menu.hide();
    EXPECT_FALSE(isMenuOpen());
    EXPECT_FALSE(m_backend->rawKeyEvents);
    EXPECT_TRUE(m_backend->hotKeyEvents);
    EXPECT_EQ(m_backend->live.size(), 2u);
}

TEST_F(HotKeyRegistryTest, SystemListsEnabledDesktopShortcutsNormalized) {
    m_backend->system =
        QList<SystemHotKey>{{true, 0, 0x100 | 0x400}, {false, 1, 0x100}, {true, 49, 0x1000}};
    EXPECT_EQ(Registry::system(), (QList<Shortcut>{Shortcut(0, 0x100), Shortcut(49, 0x1000)}));
    m_backend->system = std::nullopt;
    EXPECT_TRUE(Registry::system().isEmpty());
}

TEST_F(HotKeyRegistryTest, AFailedHandlerInstallationIsRetriedAtTheNextRegistration) {
    m_backend->canInstall = false;
    add(kA, "a");
    EXPECT_FALSE(Registry::isEventHandlerInstalled());
    EXPECT_FALSE(m_backend->hotKeyEvents);
    m_backend->canInstall = true;
    add(kB, "b");
    EXPECT_TRUE(Registry::isEventHandlerInstalled());
    EXPECT_TRUE(m_backend->hotKeyEvents);
}
