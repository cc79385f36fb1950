#include <gtest/gtest.h>

#include "support/ShortcutFakes.h"

using namespace GlobalShortcuts;

namespace {
const Shortcut kCommandShift2(Key::two, EventModifier::command | EventModifier::shift);
const Shortcut kCommandA(Key::a, EventModifier::command);
const Shortcut kOptionS(Key::s, EventModifier::option);
const QString kEntry = QStringLiteral("GlobalShortcuts_captureArea");
}  // namespace

// Named apart from the application's ShortcutNames: one name for two classes breaks the
// one-definition rule (the linker may call the fixture's captureArea() from the app's code).
class ShortcutNamesTest : public ShortcutModuleFixture {
protected:
    Name captureArea() { return Name(QStringLiteral("captureArea"), kCommandShift2); }
    int liveFor(const Shortcut& s) {
        int n = 0;
        for (const auto& [ref, r] : m_backend->live)
            n += r.keyCode == quint32(s.carbonKeyCode) && r.modifiers == quint32(s.carbonModifiers);
        return n;
    }
};

TEST_F(ShortcutNamesTest, FirstUseStoresTheDefaultRegistersItAndPostsOnce) {
    const Name name = captureArea();
    EXPECT_EQ(m_store->entries.value(kEntry).toString(),
              QStringLiteral(R"({"carbonKeyCode":19,"carbonModifiers":768})"));
    EXPECT_EQ(liveFor(kCommandShift2), 1);
    EXPECT_EQ(m_posted, QStringList{"captureArea"});
    EXPECT_TRUE(isEnabled(name));
    // A second construction finds the entry and changes nothing.
    captureArea();
    EXPECT_EQ(m_posted.size(), 1);
    EXPECT_EQ(m_backend->registerCalls, 1);
}

TEST_F(ShortcutNamesTest, AClearedNameStaysClearedAcrossLaunches) {
    Name name = captureArea();
    setShortcut(std::nullopt, name);
    EXPECT_EQ(m_store->entries.value(kEntry), QVariant(false));
    EXPECT_TRUE(m_backend->live.empty());
    EXPECT_EQ(m_posted, (QStringList{"captureArea", "captureArea"}));

    resetModuleStateForTesting();  // a later launch
    m_backend->live.clear();
    name = captureArea();
    EXPECT_EQ(getShortcut(name), std::nullopt);
    EXPECT_TRUE(m_backend->live.empty());
    EXPECT_FALSE(isEnabled(name));
}

namespace {
// Stored values that cannot stand for a shortcut, as a damaged or hand-edited settings file holds
// them.
QList<std::pair<const char*, QVariant>> damagedEntries() {
    return {
        {"a number", QVariant(7)},
        {"true", QVariant(true)},
        {"a list", QVariant(QStringList{"19", "768"})},
        {"not JSON", QVariant("garbage")},
        {"cut-off JSON", QVariant(R"({"carbonKeyCode":19,"carbonMod)")},
        {"a JSON array", QVariant("[19,768]")},
        {"a key code only", QVariant(R"({"carbonKeyCode":3})")},
        {"a key code as text", QVariant(R"({"carbonKeyCode":"19","carbonModifiers":768})")},
        {"a fractional key code", QVariant(R"({"carbonKeyCode":1.5,"carbonModifiers":0})")},
        {"a huge key code", QVariant(R"({"carbonKeyCode":1e300,"carbonModifiers":768})")},
        {"a negative key code", QVariant(R"({"carbonKeyCode":-1,"carbonModifiers":768})")},
        {"a key code beyond 32 bits",
         QVariant(R"({"carbonKeyCode":4294967315,"carbonModifiers":768})")},
        {"no such key", QVariant(R"({"carbonKeyCode":999,"carbonModifiers":768})")},
        {"the fn key", QVariant(R"({"carbonKeyCode":63,"carbonModifiers":768})")},
        {"modifiers beyond 32 bits",
         QVariant(R"({"carbonKeyCode":19,"carbonModifiers":4294967296})")},
        {"negative modifiers", QVariant(R"({"carbonKeyCode":19,"carbonModifiers":-256})")},
        {"4 MB of text", QVariant(QString(4 << 20, QLatin1Char('{')))},
    };
}
}  // namespace

TEST_F(ShortcutNamesTest, DamagedEntriesOfANameWithoutDefaultReadAsNoneAndStay) {
    const Name name = Name::fromRawValue(QStringLiteral("damaged"));
    for (const auto& [what, value] : damagedEntries()) {
        m_store->entries[QStringLiteral("GlobalShortcuts_damaged")] = value;
        EXPECT_EQ(getShortcut(name), std::nullopt) << what;
        EXPECT_EQ(m_store->entries.value(QStringLiteral("GlobalShortcuts_damaged")), value) << what;
    }
    EXPECT_TRUE(m_backend->live.empty());
}

TEST_F(ShortcutNamesTest, DamagedEntriesGiveTheDefaultBackRewrittenAndRegistered) {
    for (const auto& [what, value] : damagedEntries()) {
        resetModuleStateForTesting();  // a launch with the damaged file
        m_backend->live.clear();
        m_store->entries[kEntry] = value;
        testing::internal::CaptureStderr();
        const Name name = captureArea();
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(getShortcut(name), kCommandShift2) << what;
        EXPECT_EQ(m_store->entries.value(kEntry).toString(),
                  QStringLiteral(R"({"carbonKeyCode":19,"carbonModifiers":768})"))
            << what;
        EXPECT_EQ(liveFor(kCommandShift2), 1) << what;
        EXPECT_TRUE(isEnabled(name)) << what;
    }
}

TEST_F(ShortcutNamesTest, OnlyADeliberateClearOrAUsableValueIsKept) {
    const struct {
        const char* what;
        QVariant stored;
        std::optional<Shortcut> read;
    } cases[] = {
        {"cleared", QVariant(false), std::nullopt},
        {"cleared, as the file keeps it", QVariant("false"), std::nullopt},
        {"another shortcut", QVariant(R"({"carbonModifiers":2048,"carbonKeyCode":1,"x":[]})"),
         kOptionS},
        // Readable, though no hot key can be made of it: kept, and refused at registration.
        {"a bare key", QVariant(R"({"carbonKeyCode":19,"carbonModifiers":0})"), Shortcut(Key::two)},
    };
    for (const auto& c : cases) {
        resetModuleStateForTesting();
        m_store->entries[kEntry] = c.stored;
        testing::internal::CaptureStdout();
        const Name name = captureArea();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(getShortcut(name), c.read) << c.what;
        EXPECT_EQ(m_store->entries.value(kEntry), c.stored) << c.what;
    }
}

TEST_F(ShortcutNamesTest, StoringReplacesTheRegistrationAndAlwaysPosts) {
    const Name name = captureArea();
    setShortcut(kCommandA, name);
    EXPECT_EQ(liveFor(kCommandShift2), 0);
    EXPECT_EQ(liveFor(kCommandA), 1);
    EXPECT_EQ(registeredShortcuts(), QSet<Shortcut>{kCommandA});
    // The same shortcut again still unregisters, registers (under a new id) and posts.
    const auto before = m_backend->liveIds();
    setShortcut(kCommandA, name);
    EXPECT_EQ(liveFor(kCommandA), 1);
    EXPECT_NE(m_backend->liveIds(), before);
    EXPECT_EQ(m_posted.size(), 3);
}

TEST_F(ShortcutNamesTest, ClearingANameWithoutShortcutDoesNothing) {
    const Name plain = Name::fromRawValue(QStringLiteral("plain"));
    setShortcut(std::nullopt, plain);
    EXPECT_TRUE(m_posted.isEmpty());
    EXPECT_TRUE(m_store->entries.isEmpty());
    // A name without default loses its entry altogether.
    setShortcut(kOptionS, plain);
    setShortcut(std::nullopt, plain);
    EXPECT_FALSE(m_store->entries.contains(QStringLiteral("GlobalShortcuts_plain")));
    EXPECT_EQ(m_posted.size(), 2);
}

TEST_F(ShortcutNamesTest, ResetRestoresDefaultsAndClearsTheRest) {
    const Name name = captureArea();
    const Name plain = Name::fromRawValue(QStringLiteral("plain"));
    setShortcut(kCommandA, name);
    setShortcut(kOptionS, plain);
    m_posted.clear();
    reset(name, plain);
    EXPECT_EQ(getShortcut(name), kCommandShift2);
    EXPECT_EQ(getShortcut(plain), std::nullopt);
    EXPECT_EQ(liveFor(kCommandA), 0);
    EXPECT_EQ(liveFor(kOptionS), 0);
    EXPECT_EQ(liveFor(kCommandShift2), 1);
    EXPECT_EQ(m_posted, (QStringList{"captureArea", "plain"}));
    // Resetting what already is the default still posts; a cleared plain name does not.
    reset(QList<Name>{name, plain});
    EXPECT_EQ(m_posted, (QStringList{"captureArea", "plain", "captureArea"}));
}

TEST_F(ShortcutNamesTest, NamesWithOneRawValueAreOneName) {
    const Name first(QStringLiteral("shared"), kCommandA);
    const Name second(QStringLiteral("shared"), kOptionS);
    EXPECT_EQ(first, second);
    EXPECT_EQ(qHash(first), qHash(second));
    EXPECT_EQ(getShortcut(second), kCommandA);  // the first default won
    int runs = 0;
    onKeyDown(second, [&] { ++runs; });
    m_backend->press(kCommandA);
    EXPECT_EQ(runs, 1);
}

TEST_F(ShortcutNamesTest, DispatchRunsEveryMatchingActionInOrderUnlessPaused) {
    const Name name = captureArea();
    const Name other = Name::fromRawValue(QStringLiteral("other"));
    setShortcut(kCommandShift2, other);  // shares the shortcut
    QStringList runs;
    const Action first = [&] { runs << "first"; };
    onKeyDown(name, first);
    onKeyDown(name, first);  // twice: runs twice
    onKeyDown(name, [&] { runs << "second"; });
    onKeyDown(other, [&] { runs << "other"; });
    onKeyUp(name, [&] { runs << "up"; });
    EXPECT_EQ(liveFor(kCommandShift2), 1);

    m_backend->press(kCommandShift2);
    runs.sort();  // names run in no particular order; within a name, in order added
    EXPECT_EQ(runs, (QStringList{"first", "first", "other", "second"}));
    runs.clear();
    m_backend->press(kCommandShift2, false);
    EXPECT_EQ(runs, QStringList{"up"});

    runs.clear();
    setPaused(true);
    m_backend->press(kCommandShift2);
    EXPECT_TRUE(runs.isEmpty());
    setPaused(false);
    m_backend->press(kCommandShift2);
    EXPECT_EQ(runs.size(), 4);
}

TEST_F(ShortcutNamesTest, ActionsFollowTheNameNotTheShortcut) {
    const Name name = captureArea();
    int runs = 0;
    onKeyDown(name, [&] { ++runs; });
    setShortcut(kCommandA, name);
    m_backend->press(kCommandA);
    EXPECT_EQ(runs, 1);
    // A name without a shortcut gets its hot key once one is stored.
    const Name later = Name::fromRawValue(QStringLiteral("later"));
    int laterRuns = 0;
    onKeyDown(later, [&] { ++laterRuns; });
    EXPECT_EQ(liveFor(kOptionS), 0);
    setShortcut(kOptionS, later);
    m_backend->press(kOptionS);
    EXPECT_EQ(laterRuns, 1);
}

TEST_F(ShortcutNamesTest, DisableAndEnableSwitchTheSharedHotKey) {
    const Name name = captureArea();
    const Name other = Name::fromRawValue(QStringLiteral("other"));
    setShortcut(kCommandShift2, other);
    int runs = 0;
    onKeyDown(other, [&] { ++runs; });
    disable(name);
    EXPECT_EQ(liveFor(kCommandShift2), 0);
    EXPECT_FALSE(isEnabled(other));  // shared shortcut: gone for both
    m_backend->press(kCommandShift2);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(getShortcut(name), kCommandShift2);  // stored shortcut stays
    enable(name);
    enable(name);  // already registered: no second entry
    EXPECT_EQ(liveFor(kCommandShift2), 1);
    m_backend->press(kCommandShift2);
    EXPECT_EQ(runs, 1);
    // Storing for a disabled name registers the new shortcut.
    disable(name);
    setShortcut(kCommandA, name);
    EXPECT_EQ(liveFor(kCommandA), 1);
}

TEST_F(ShortcutNamesTest, RefusedShortcutsStayListedAndAreNotRetried) {
    m_backend->refusals[{19, 768}] = 10;
    testing::internal::CaptureStdout();
    const Name name = captureArea();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("Error registering hotkey ⇧⌘2: 10\n"));
    EXPECT_TRUE(registeredShortcuts().contains(kCommandShift2));
    EXPECT_TRUE(isEnabled(name));  // listed, though the platform refused it
    const int calls = m_backend->registerCalls;
    onKeyDown(name, [] {});
    enable(name);
    EXPECT_EQ(m_backend->registerCalls, calls);
}

TEST_F(ShortcutNamesTest, MasterSwitchAndRemovals) {
    const Name name = captureArea();
    onKeyDown(name, [] {});
    const int calls = m_backend->registerCalls;
    setEnabled(true);  // unchanged: the registry is not touched
    EXPECT_EQ(m_backend->registerCalls, calls);
    setEnabled(false);
    EXPECT_FALSE(isEnabled(name));
    EXPECT_TRUE(m_backend->live.empty());
    setEnabled(true);
    EXPECT_EQ(liveFor(kCommandShift2), 1);

    removeHandler(name);
    EXPECT_EQ(liveFor(kCommandShift2), 0);
    EXPECT_FALSE(registeredShortcuts().contains(kCommandShift2));
}

TEST_F(ShortcutNamesTest, StreamsKeepTheirShortcutUntilTheyEnd) {
    const Name name = captureArea();
    onKeyDown(name, [] {});
    QList<EventType> seen;
    {
        EventStream stream = events(name, [&](EventType t) { seen << t; });
        removeAllHandlers();  // the stream still uses the shortcut
        EXPECT_EQ(liveFor(kCommandShift2), 1);
        m_backend->press(kCommandShift2);
        m_backend->press(kCommandShift2, false);
    }
    EXPECT_EQ(seen, (QList<EventType>{EventType::keyDown, EventType::keyUp}));
    EXPECT_EQ(liveFor(kCommandShift2), 0);
}

TEST_F(ShortcutNamesTest, ResetAllRemovesStoredShortcutsAndKeepsClearedEntries) {
    const Name name = captureArea();
    setShortcut(std::nullopt, name);  // false entry
    setShortcut(kOptionS, Name::fromRawValue(QStringLiteral("plain")));
    m_store->entries[QStringLiteral("unrelated")] = QStringLiteral("x");
    resetAll();
    EXPECT_EQ(m_store->entries.value(kEntry), QVariant(false));
    EXPECT_FALSE(m_store->entries.contains(QStringLiteral("GlobalShortcuts_plain")));
    EXPECT_TRUE(m_store->entries.contains(QStringLiteral("unrelated")));
    EXPECT_TRUE(m_backend->live.empty());
}
