#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMenu>
#include <QSignalSpy>

#include "Platform/Wayland/PortalHotKeyBackend.h"
#include "support/FakeShortcutsPortal.h"
#include "support/ShortcutFakes.h"

using namespace GlobalShortcuts;
namespace Registry = GlobalShortcuts::HotKeyRegistry;

namespace {
const Shortcut kDefault(Key::two, EventModifier::command | EventModifier::shift);
const Shortcut kRecorded(Key::k, EventModifier::command | EventModifier::option);
const QString kId = QStringLiteral("captureArea");
}  // namespace

// The real shortcut module over the portal backend and a fake portal.
class PortalShortcutsTest : public ShortcutModuleFixture {
protected:
    void SetUp() override {
        ShortcutModuleFixture::SetUp();
        auto portal = std::make_unique<FakeShortcutsPortal>();
        m_portal = portal.get();
        auto backend = std::make_unique<PortalHotKeyBackend>(std::move(portal));
        backend->describe(kId, QStringLiteral("Capture zone"));
        m_portalBackend = backend.get();
        m_portalBackend->setRetryDelay(1);
        m_layout->texts.insert(Key::k.rawValue, QStringLiteral("k"));
        Registry::setBackend(std::move(backend));
        m_backend = nullptr;
    }

    // Declares the name (storing and registering its default) with a capture counter on it.
    void declare() {
        m_name = Name(kId, kDefault);
        onKeyDown(m_name, [this] { ++m_captures; });
    }
    bool sync(const QStringList& calls) {
        return spinUntil([&] { return m_portal->calls == calls; }, 1000);
    }

    // Made in declare(), once the backend is in place.
    Name m_name;
    FakeShortcutsPortal* m_portal = nullptr;
    PortalHotKeyBackend* m_portalBackend = nullptr;
    int m_captures = 0;
};

TEST_F(PortalShortcutsTest, BindsTheNameWithItsPreferredTriggerAndShowsWhatTheDesktopReports) {
    QSignalSpy changed(m_portalBackend, &DesktopShortcuts::changed);
    declare();
    ASSERT_TRUE(sync({"check"}));
    m_portal->grantPending();
    ASSERT_TRUE(sync({"check", "create"}));
    m_portal->grantPending();
    ASSERT_TRUE(sync({"check", "create", "bind"}));
    EXPECT_EQ(m_portal->boundShortcuts,
              (QList<PortalShortcut>{{kId, "Capture zone", "CTRL+SHIFT+2"}}));
    EXPECT_FALSE(m_portalBackend->triggerDescription(kId));
    const QString session = m_portal->grantPending();
    EXPECT_EQ(m_portalBackend->session(), session);
    EXPECT_EQ(m_portalBackend->triggerDescription(kId), "Desk CTRL+SHIFT+2");
    EXPECT_EQ(m_portalBackend->binding(), DesktopShortcuts::Binding::portal);
    EXPECT_GE(changed.count(), 2);  // availability, then the bound triggers
    // Nothing is read of the desktop's own bindings.
    EXPECT_EQ(Registry::system(), QList<Shortcut>{});
}

TEST_F(PortalShortcutsTest, OnlyThisSessionsActivationOfAnAskedIdCaptures) {
    declare();
    const QString session = grantUntilBound(*m_portal);
    ASSERT_EQ(m_portal->calls, (QStringList{"check", "create", "bind"}));
    struct Case {
        QString session;
        QString id;
        int captures;
    };
    const Case cases[] = {
        {session, kId, 1},
        {QStringLiteral("/org/freedesktop/portal/desktop/session/1_9/other"), kId, 0},
        {QString(), kId, 0},
        {session, QStringLiteral("somethingElse"), 0},
        {session, QString(), 0},
    };
    for (const Case& c : cases) {
        m_captures = 0;
        m_portal->events.activation(c.session, c.id, true);
        m_portal->events.activation(c.session, c.id, false);
        EXPECT_EQ(m_captures, c.captures) << c.session.toStdString() << " " << c.id.toStdString();
    }
    // While the module is switched off (a menu open) the desktop's presses run nothing, and
    // nothing is bound again when it comes back.
    disable({m_name});
    m_captures = 0;
    m_portal->events.activation(session, kId, true);
    EXPECT_EQ(m_captures, 0);
    enable({m_name});
    m_portal->events.activation(session, kId, true);
    EXPECT_EQ(m_captures, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_portal->calls, (QStringList{"check", "create", "bind"}));
}

TEST_F(PortalShortcutsTest, ANewShortcutIsBoundInANewSessionAndTheOldOnesPressesAreIgnored) {
    declare();
    const QString first = grantUntilBound(*m_portal);
    userDefaultsSet(m_name, kRecorded);
    ASSERT_TRUE(sync({"check", "create", "bind", "close", "create"}));
    EXPECT_EQ(m_portal->closed, QStringList{first});
    const QString second = grantUntilBound(*m_portal);
    EXPECT_EQ(m_portal->boundShortcuts,
              (QList<PortalShortcut>{{kId, "Capture zone", "CTRL+ALT+k"}}));
    EXPECT_EQ(m_portalBackend->triggerDescription(kId), "Desk CTRL+ALT+k");
    m_portal->events.activation(first, kId, true);
    EXPECT_EQ(m_captures, 0);
    m_portal->events.activation(second, kId, true);
    EXPECT_EQ(m_captures, 1);
}

TEST_F(PortalShortcutsTest, ARefusedBindPrintsTheLineWithTheResponseCode) {
    declare();
    ASSERT_TRUE(sync({"check"}));
    m_portal->grantPending();
    ASSERT_TRUE(sync({"check", "create"}));
    std::exchange(m_portal->pendingSession, {})(QStringLiteral("/s/1"));
    ASSERT_TRUE(sync({"check", "create", "bind"}));
    testing::internal::CaptureStdout();
    std::exchange(m_portal->pendingBind, {})(std::unexpected(2));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("Error registering hotkey ⇧⌘2: 2\n"));
    EXPECT_TRUE(Registry::hotKeys().isEmpty());
    EXPECT_TRUE(m_portalBackend->session().isEmpty());
    EXPECT_EQ(m_portal->closed, QStringList{"/s/1"});
    // A session the desktop will not make is refused the same way, with its code.
    userDefaultsSet(m_name, kRecorded);
    ASSERT_TRUE(spinUntil([&] { return bool(m_portal->pendingSession); }));
    testing::internal::CaptureStdout();
    std::exchange(m_portal->pendingSession, {})(std::unexpected(1));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("Error registering hotkey ⌥⌘K: 1\n"));
}

TEST_F(PortalShortcutsTest, ChangedTriggersOfThisSessionShowOthersAreIgnored) {
    declare();
    const QString session = grantUntilBound(*m_portal);
    ASSERT_EQ(m_portal->calls, (QStringList{"check", "create", "bind"}));
    QSignalSpy changed(m_portalBackend, &DesktopShortcuts::changed);
    m_portal->events.changed(QStringLiteral("/other"), {{kId, "", "F9"}});
    m_portal->events.changed(session, {{QStringLiteral("unknown"), "", "F9"}});
    EXPECT_EQ(m_portalBackend->triggerDescription(kId), "Desk CTRL+SHIFT+2");
    EXPECT_EQ(changed.count(), 0);
    m_portal->events.changed(session, {{kId, "Capture zone", "Print"}});
    EXPECT_EQ(m_portalBackend->triggerDescription(kId), "Print");
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(PortalShortcutsTest, ADroppedSessionIsMadeAgainAFewTimes) {
    declare();
    QString session = grantUntilBound(*m_portal);
    m_portal->events.sessionClosed(QStringLiteral("/not/ours"));
    EXPECT_EQ(m_portalBackend->session(), session);
    for (int drop = 1; drop < PortalHotKeyBackend::maximumDrops; ++drop) {
        m_portal->calls.clear();
        m_portal->events.sessionClosed(session);
        EXPECT_FALSE(m_portalBackend->triggerDescription(kId));
        ASSERT_TRUE(sync({"create"})) << drop;
        session = grantUntilBound(*m_portal);
        ASSERT_FALSE(session.isEmpty());
        m_portal->events.activation(session, kId, true);
        EXPECT_EQ(m_captures, drop);
    }
    m_portal->calls.clear();
    m_portal->events.sessionClosed(session);
    EXPECT_FALSE(spinUntil([&] { return !m_portal->calls.isEmpty(); }, 100));
    // A shortcut the user records starts over.
    userDefaultsSet(m_name, kRecorded);
    EXPECT_TRUE(sync({"create"}));
}

TEST_F(PortalShortcutsTest, AnAnswerForADroppedSessionIsIgnored) {
    declare();
    ASSERT_TRUE(sync({"check"}));
    m_portal->grantPending();
    ASSERT_TRUE(sync({"check", "create"}));
    std::exchange(m_portal->pendingSession, {})(QStringLiteral("/s/1"));
    ASSERT_TRUE(sync({"check", "create", "bind"}));
    m_portal->events.sessionClosed(QStringLiteral("/s/1"));
    // The bind's late answer neither revives the session nor stops the next one.
    std::exchange(m_portal->pendingBind, {})(QList<PortalShortcut>{{kId, "", "F1"}});
    EXPECT_TRUE(m_portalBackend->session().isEmpty());
    EXPECT_FALSE(m_portalBackend->triggerDescription(kId));
    ASSERT_TRUE(spinUntil([&] { return bool(m_portal->pendingSession); }));
    EXPECT_FALSE(grantUntilBound(*m_portal).isEmpty());
}

TEST_F(PortalShortcutsTest, WithoutThePortalNothingIsBoundAndTheDesktopsSettingsAreNamed) {
    QSignalSpy changed(m_portalBackend, &DesktopShortcuts::changed);
    testing::internal::CaptureStdout();
    declare();
    ASSERT_TRUE(sync({"check"}));
    std::exchange(m_portal->pendingCheck, {})(false);
    QCoreApplication::processEvents();
    userDefaultsSet(m_name, kRecorded);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_portal->calls, QStringList{"check"});
    EXPECT_EQ(m_portalBackend->binding(), DesktopShortcuts::Binding::desktopSettings);
    EXPECT_EQ(changed.count(), 1);
    // Not a refusal: the user binds the command in the desktop's settings instead.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string());
    EXPECT_EQ(Registry::hotKeys().size(), 1);
}

TEST_F(PortalShortcutsTest, ChangesWhileThePortalIsSilentAreBoundOnceItAnswers) {
    declare();
    ASSERT_TRUE(sync({"check"}));
    userDefaultsSet(m_name, kRecorded);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_portal->calls, QStringList{"check"});
    EXPECT_FALSE(grantUntilBound(*m_portal).isEmpty());
    EXPECT_EQ(m_portal->calls, (QStringList{"check", "create", "bind"}));
    EXPECT_EQ(m_portal->boundShortcuts,
              (QList<PortalShortcut>{{kId, "Capture zone", "CTRL+ALT+k"}}));
}

TEST_F(PortalShortcutsTest, KeysReachingAnOpenMenuAreMatchedAgainstTheRegistry) {
    declare();
    QMenu menu;
    menu.addAction(QStringLiteral("Capture zone"));
    menu.popup(QPoint(10, 10));
    ASSERT_TRUE(isMenuOpen());
    const auto key = [](Key k, int qtKey) {
        return QKeyEvent(QEvent::KeyPress, qtKey, Qt::ControlModifier | Qt::ShiftModifier,
                         *xKeycode(k), 0, 0);
    };
    QKeyEvent press = key(Key::two, Qt::Key_2);
    EXPECT_TRUE(QCoreApplication::sendEvent(&menu, &press));
    EXPECT_EQ(m_captures, 1);
    QKeyEvent other = key(Key::three, Qt::Key_3);
    QCoreApplication::sendEvent(&menu, &other);
    EXPECT_EQ(m_captures, 1);
    menu.hide();
    QCoreApplication::sendEvent(&menu, &press);
    EXPECT_EQ(m_captures, 1);
}
