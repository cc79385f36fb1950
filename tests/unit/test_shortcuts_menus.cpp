#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include "GlobalShortcuts/MenuItems.h"
#include "support/ShortcutFakes.h"

using namespace GlobalShortcuts;

namespace {
constexpr EventModifierFlags kCommand = EventModifier::command;
constexpr EventModifierFlags kShift = EventModifier::shift;
}  // namespace

TEST(MenuKeyEquivalents, AnUpperCaseLetterStandsForShift) {
    struct Case {
        MenuKeyEquivalent item;
        bool matches;
    };
    // The shortcut Command+Shift+S, whose key equivalent is "s" on a US layout.
    const Case cases[] = {
        {{"S", kCommand}, true},           {{"s", kCommand | kShift}, true},
        {{"s", kCommand}, false},          {{"S", kCommand | kShift}, true},
        {{"a", kCommand | kShift}, false}, {{"", 0}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyEquivalentMatches(c.item, "s", kCommand | kShift), c.matches)
            << c.item.key.toStdString() << " " << c.item.modifiers;
    // Without shift in the shortcut, the upper-case rule does not apply.
    EXPECT_FALSE(keyEquivalentMatches({"S", kCommand}, "s", kCommand));
    EXPECT_FALSE(keyEquivalentMatches({"", 0}, "", 0));
}

TEST(MenuKeyEquivalents, QtKeySequencesRoundTrip) {
    struct Case {
        QKeySequence sequence;
        MenuKeyEquivalent equivalent;
    };
    const Case cases[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_S), {"s", kCommand}},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_2), {"2", kCommand | kShift}},
        {QKeySequence(Qt::Key_F12), {QString(QChar(0xF70F)), 0}},
        {QKeySequence(Qt::META | Qt::ALT | Qt::Key_Return),
         {QString(QChar(0x21A9)), EventModifier::control | EventModifier::option}},
        {QKeySequence(Qt::CTRL | Qt::Key_Space), {" ", kCommand}},
    };
    for (const Case& c : cases) {
        QAction action;
        action.setShortcut(c.sequence);
        EXPECT_EQ(keyEquivalent(action), c.equivalent) << c.sequence.toString().toStdString();
        EXPECT_EQ(keySequence(c.equivalent), c.sequence) << c.sequence.toString().toStdString();
    }
    EXPECT_EQ(keyEquivalent(QAction()), MenuKeyEquivalent{});
}

using MenuItemsTest = ShortcutModuleFixture;

TEST_F(MenuItemsTest, SearchIsDepthFirstInMenuOrder) {
    QMenu main;
    QAction* plain = main.addAction("Plain");
    QMenu* edit = main.addMenu("Édition");
    QAction* nested = edit->addAction("Copier");
    nested->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    QAction* later = main.addAction("Copier aussi");
    later->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    QAction* save = main.addAction("Enregistrer sous");
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    (void)plain;

    EXPECT_EQ(Shortcut(Key::c, kCommand).menuItemWithMatchingShortcut(&main), nested);
    EXPECT_EQ(Shortcut(Key::s, kCommand | kShift).menuItemWithMatchingShortcut(&main), save);
    EXPECT_EQ(Shortcut(Key::s, kCommand).menuItemWithMatchingShortcut(&main), nullptr);
    EXPECT_EQ(Shortcut(Key::c, kCommand).menuItemWithMatchingShortcut(nullptr), nullptr);
}

TEST_F(MenuItemsTest, BindingFollowsTheName) {
    const Name name(QStringLiteral("captureArea"), Shortcut(Key::two, kCommand | kShift));
    QAction item;
    setShortcutFor(&item, name);
    EXPECT_EQ(item.shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_2));

    setShortcut(std::nullopt, name);
    EXPECT_EQ(item.shortcut(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_2));  // refresh is queued
    QCoreApplication::processEvents();
    EXPECT_TRUE(item.shortcut().isEmpty());

    setShortcut(Shortcut(Key::f12, kCommand), Name::fromRawValue(QStringLiteral("unrelated")));
    QCoreApplication::processEvents();
    EXPECT_TRUE(item.shortcut().isEmpty());

    reset(name);
    QCoreApplication::processEvents();
    EXPECT_EQ(item.shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_2));

    // Ending the binding empties the item and stops following.
    setShortcutFor(&item, std::nullopt);
    EXPECT_TRUE(item.shortcut().isEmpty());
    setShortcut(Shortcut(Key::a, kCommand), name);
    QCoreApplication::processEvents();
    EXPECT_TRUE(item.shortcut().isEmpty());
}

TEST_F(MenuItemsTest, KeysWithoutEquivalentLeaveTheItemEmpty) {
    QAction item;
    setShortcut(&item, Shortcut(Key::keypad1, kCommand));
    EXPECT_TRUE(item.shortcut().isEmpty());
    setShortcut(&item, Shortcut(Key::semicolon, kCommand));  // the layout has no text for it
    EXPECT_TRUE(item.shortcut().isEmpty());
    GlobalShortcuts::setKeyboardLayout(FakeKeyboardLayout::french());
    setShortcut(&item, Shortcut(Key::two, kCommand | kShift));
    EXPECT_EQ(item.shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Eacute));
}
