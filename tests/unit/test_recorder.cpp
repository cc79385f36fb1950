#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "GlobalShortcuts/RecorderControl.h"
#include "GlobalShortcuts/RecorderEnvironment.h"
#include "support/ShortcutFakes.h"

using namespace GlobalShortcuts;

namespace {

constexpr EventModifierFlags kCommand = EventModifier::command;
constexpr EventModifierFlags kShift = EventModifier::shift;
constexpr EventModifierFlags kOption = EventModifier::option;
constexpr EventModifierFlags kControl = EventModifier::control;

// A key press as X11 delivers it: Qt key, modifiers and the physical key's X keycode.
struct Press {
    Key key;
    Qt::Key qtKey;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

class RecorderTest : public ShortcutModuleFixture {
protected:
    void SetUp() override {
        ShortcutModuleFixture::SetUp();
        RecorderEnvironment environment;
        environment.mainMenu = [this] { return QList<const QMenu*>{&m_applicationMenu}; };
        environment.disallowsOptionOnlyShortcuts = [this] { return m_optionOnlyDisallowed; };
        environment.beep = [this] { ++m_beeps; };
        environment.alert = [this](QWidget* window, const RecorderAlert& alert) {
            m_alerts << alert;
            m_alertWindows << window;
            // While an alert is up the recorder does not record.
            m_recordingDuringAlert = m_recorder->isRecording();
            return m_answer;
        };
        setRecorderEnvironment(environment);
        m_layout->texts.insert(Key::k.rawValue, QStringLiteral("k"));
        setStringTable({{QStringLiteral("keyboard_shortcut_used_by_menu_item"),
                         QStringLiteral("Utilisé par « %@ ».")}});
        QAction* quit = m_applicationMenu.addAction(QStringLiteral("Quitter Tessik"));
        quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

        m_name = Name(QStringLiteral("captureArea"), m_default);
        m_window.setWindowTitle(QStringLiteral("host"));
        auto* layout = new QVBoxLayout(&m_window);
        m_recorder = new RecorderControl(
            m_name, [this](const std::optional<Shortcut>& s) { m_changes << s; }, &m_window);
        m_next = new QLineEdit(&m_window);
        m_button = new QPushButton(QStringLiteral("ailleurs"), &m_window);
        layout->addWidget(m_recorder);
        layout->addWidget(m_next);
        layout->addSpacing(40);
        layout->addWidget(m_button);
        m_window.show();
        m_window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
        m_activeToken = Notifications::observe(
            recorderActiveStatusDidChange,
            [this](const QVariantMap& info) { m_active << info.value("isActive").toBool(); });
    }
    void TearDown() override {
        Notifications::remove(m_activeToken);
        delete m_recorder;
        setRecorderEnvironment({});
        ShortcutModuleFixture::TearDown();
    }

    void startRecording() {
        m_recorder->setFocus();
        QCoreApplication::processEvents();
        ASSERT_TRUE(m_recorder->isRecording());
        m_active.clear();
    }
    void press(const Press& p) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &m_window;
        QKeyEvent event(QEvent::KeyPress, p.qtKey, p.modifiers, *xKeycode(p.key), 0, 0);
        QApplication::sendEvent(target, &event);
    }
    // A click released at `pos` of `target`, delivered as the platform would deliver it.
    void click(QWidget* target, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
        const QPointF global = target->mapToGlobal(QPointF(pos));
        QMouseEvent down(QEvent::MouseButtonPress, QPointF(pos), global, button, button, {});
        QApplication::sendEvent(target, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(pos), global, button, Qt::NoButton, {});
        QApplication::sendEvent(target, &up);
    }
    std::optional<QString> stored() const {
        const auto entry = m_store->string(QStringLiteral("GlobalShortcuts_captureArea"));
        return entry;
    }

    Shortcut m_default = Shortcut(Key::two, kCommand | kShift);
    Name m_name;
    QMenu m_applicationMenu;
    QWidget m_window;
    RecorderControl* m_recorder = nullptr;
    QLineEdit* m_next = nullptr;
    QPushButton* m_button = nullptr;
    bool m_optionOnlyDisallowed = false;
    int m_beeps = 0;
    int m_answer = alertFirstButtonReturn;
    QList<RecorderAlert> m_alerts;
    QList<QWidget*> m_alertWindows;
    bool m_recordingDuringAlert = true;
    QList<std::optional<Shortcut>> m_changes;
    QList<bool> m_active;
    Notifications::Token m_activeToken = 0;
};

TEST_F(RecorderTest, ShowsTheStoredShortcutAndItsClearButton) {
    EXPECT_EQ(m_recorder->text(), QStringLiteral("Ctrl+Maj+2"));
    EXPECT_TRUE(m_recorder->clearButton()->isVisible());
    const auto shown = m_recorder->findChildren<QToolButton*>();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(shown[0])->text(QAccessible::Name),
              QStringLiteral("Supprimer le raccourci"));
    EXPECT_EQ(m_recorder->alignment(), Qt::AlignCenter);
    EXPECT_EQ(m_recorder->sizeHint(), QSize(130, 24));
    setShortcut(std::nullopt, m_name);
    EXPECT_EQ(m_recorder->text(), QString());
    EXPECT_FALSE(m_recorder->clearButton()->isVisible());
    // A change made elsewhere (a reset in the settings) shows at once; other names do not.
    reset(m_name);
    EXPECT_EQ(m_recorder->text(), QStringLiteral("Ctrl+Maj+2"));
    Name other(QStringLiteral("other"));
    other.setShortcut(Shortcut(Key::a, kCommand));
    EXPECT_EQ(m_recorder->text(), QStringLiteral("Ctrl+Maj+2"));
}

TEST_F(RecorderTest, ShownAgainItNamesTheKeyAfterTheLayoutInUseNow) {
    m_window.hide();
    setKeyboardLayout(FakeKeyboardLayout::french());
    EXPECT_EQ(m_recorder->text(), QStringLiteral("Ctrl+Maj+2"));
    m_window.show();
    EXPECT_EQ(m_recorder->text(), QString::fromUtf8("Ctrl+Maj+É"));
}

TEST_F(RecorderTest, RecordingFollowsFocusAndPausesTheModule) {
    EXPECT_EQ(m_recorder->placeholderText(), QStringLiteral("record_shortcut"));
    m_recorder->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_recorder->isRecording());
    EXPECT_TRUE(isPaused());
    EXPECT_EQ(m_recorder->placeholderText(), QStringLiteral("press_shortcut"));
    EXPECT_EQ(m_active, QList<bool>{true});
    m_next->setFocus();
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_recorder->isRecording());
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(m_recorder->placeholderText(), QStringLiteral("record_shortcut"));
    EXPECT_EQ(m_active, (QList<bool>{true, false}));
}

TEST_F(RecorderTest, CombinationsWithoutARealModifierBeepAndStoreNothing) {
    const Press refused[] = {
        {Key::a, Qt::Key_A},
        {Key::a, Qt::Key_A, Qt::ShiftModifier},
        {Key::returnKey, Qt::Key_Return},
        {Key::tab, Qt::Key_Backtab, Qt::ShiftModifier},
        {Key::two, Qt::Key_2},
        {Key::upArrow, Qt::Key_Up},
        // Only function keys stand alone: not Menu, the ISO key or the keypad.
        {Key::contextualMenu, Qt::Key_Menu},
        {Key::isoSection, Qt::Key_Less},
        {Key::keypad5, Qt::Key_5, Qt::KeypadModifier},
    };
    startRecording();
    const auto before = stored();
    int beeps = 0;
    for (const Press& p : refused) {
        press(p);
        EXPECT_EQ(m_beeps, ++beeps) << p.key.rawValue;
        EXPECT_TRUE(m_recorder->isRecording()) << p.key.rawValue;
    }
    EXPECT_EQ(stored(), before);
    EXPECT_TRUE(m_changes.isEmpty());
    EXPECT_TRUE(m_alerts.isEmpty());
}

TEST_F(RecorderTest, AcceptedCombinationsAreStoredShownAndEndRecording) {
    struct Case {
        Press press;
        Shortcut expected;
        QString shown;
    };
    const Case cases[] = {
        {{Key::f5, Qt::Key_F5}, Shortcut(Key::f5), "F5"},
        {{Key::f5, Qt::Key_F5, Qt::ShiftModifier}, Shortcut(Key::f5, kShift), "Maj+F5"},
        {{Key::escape, Qt::Key_Escape, Qt::ControlModifier},
         Shortcut(Key::escape, kCommand),
         "Ctrl+Échap"},
        {{Key::deleteKey, Qt::Key_Backspace, Qt::ControlModifier},
         Shortcut(Key::deleteKey, kCommand),
         "Ctrl+Effacement"},
        {{Key::k, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier},
         Shortcut(Key::k, kCommand | kOption),
         "Ctrl+Alt+K"},
        {{Key::a, Qt::Key_A, Qt::MetaModifier | Qt::ShiftModifier},
         Shortcut(Key::a, kControl | kShift),
         "Méta+Maj+A"},
        // PC keys: Print, Scroll Lock and Pause alone like function keys; the others with a
        // modifier.
        {{Key::printScreen, Qt::Key_Print}, Shortcut(Key::f13), "Imprimer"},
        {{Key::scrollLock, Qt::Key_ScrollLock}, Shortcut(Key::f14), "Arrêt défil"},
        {{Key::pause, Qt::Key_Pause, Qt::ShiftModifier}, Shortcut(Key::f15, kShift), "Maj+Pause"},
        {{Key::f21, Qt::Key_F21}, Shortcut(Key(0x1015)), "F21"},
        {{Key::contextualMenu, Qt::Key_Menu, Qt::ControlModifier},
         Shortcut(Key(110), kCommand),
         "Ctrl+Menu"},
        {{Key::isoSection, Qt::Key_Less, Qt::AltModifier}, Shortcut(Key(10), kOption), "Alt+<"},
        {{Key::keypad5, Qt::Key_5, Qt::ControlModifier | Qt::KeypadModifier},
         Shortcut(Key(87), kCommand),
         "Ctrl+Num+5"},
    };
    for (const Case& c : cases) {
        startRecording();
        m_changes.clear();
        press(c.press);
        EXPECT_EQ(getShortcut(m_name), c.expected) << c.shown.toStdString();
        EXPECT_EQ(m_recorder->text(), c.shown);
        EXPECT_TRUE(m_recorder->clearButton()->isVisible());
        EXPECT_EQ(m_changes, QList<std::optional<Shortcut>>{c.expected});
        EXPECT_FALSE(m_recorder->isRecording());
        EXPECT_FALSE(isPaused());
        EXPECT_EQ(m_active, QList<bool>{false});
        // Stored means registered as a hot key too.
        EXPECT_TRUE(registeredShortcuts().contains(c.expected));
    }
    EXPECT_EQ(m_beeps, 0);
}

TEST_F(RecorderTest, EscapeEndsRecordingAndKeepsTheShortcut) {
    startRecording();
    press({Key::escape, Qt::Key_Escape});
    EXPECT_FALSE(m_recorder->isRecording());
    EXPECT_EQ(getShortcut(m_name), m_default);
    EXPECT_TRUE(m_changes.isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
}

TEST_F(RecorderTest, DeleteAloneClearsAndKeepsRecording) {
    for (const Qt::Key qtKey : {Qt::Key_Backspace, Qt::Key_Delete}) {
        reset(m_name);
        startRecording();
        m_posted.clear();
        m_changes.clear();
        press({qtKey == Qt::Key_Delete ? Key::deleteForward : Key::deleteKey, qtKey});
        EXPECT_EQ(getShortcut(m_name), std::nullopt);
        // A name with a default remembers that the user cleared it.
        EXPECT_EQ(stored(), QStringLiteral("false"));
        EXPECT_EQ(m_posted, QStringList{"captureArea"});
        EXPECT_EQ(m_changes, QList<std::optional<Shortcut>>{std::nullopt});
        EXPECT_TRUE(m_recorder->isRecording());
        EXPECT_EQ(m_recorder->text(), QString());
        EXPECT_FALSE(m_recorder->clearButton()->isVisible());
        EXPECT_FALSE(registeredShortcuts().contains(m_default));
    }
}

TEST_F(RecorderTest, TabEndsRecordingAndMovesFocusOn) {
    startRecording();
    press({Key::tab, Qt::Key_Tab});
    EXPECT_FALSE(m_recorder->isRecording());
    EXPECT_EQ(getShortcut(m_name), m_default);
    EXPECT_EQ(m_beeps, 0);
    // Focus moved on to the next widget.
    EXPECT_EQ(QApplication::focusWidget(), m_next);
}

TEST_F(RecorderTest, ClicksInsideAreSwallowedAndClicksOutsideEndRecording) {
    int clicked = 0;
    QObject::connect(m_button, &QPushButton::clicked, [&clicked] { ++clicked; });
    startRecording();
    // Inside, and 2 points beside the field (within the 3-point slop): swallowed.
    click(m_recorder, {10, 10});
    const QPoint beside = m_recorder->mapTo(&m_window, QPoint(m_recorder->width() + 2, 10));
    click(&m_window, beside, Qt::RightButton);
    EXPECT_TRUE(m_recorder->isRecording());
    // Well outside: recording ends and the click still reaches the button.
    click(m_button, m_button->rect().center());
    EXPECT_FALSE(m_recorder->isRecording());
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(getShortcut(m_name), m_default);
}

TEST_F(RecorderTest, TheClearButtonClearsAndStartsNoRecordingWhileRefused) {
    m_recorder->setRefusesFirstResponder(true);
    m_recorder->clearButton()->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(getShortcut(m_name), std::nullopt);
    EXPECT_EQ(m_changes, QList<std::optional<Shortcut>>{std::nullopt});
    EXPECT_FALSE(m_recorder->isRecording());
    // Without refusal, clearing goes on to record.
    reset(m_name);
    m_recorder->setRefusesFirstResponder(false);
    m_recorder->clearButton()->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_recorder->isRecording());
}

TEST_F(RecorderTest, AShortcutOfAMenuItemIsRefusedWithItsTitle) {
    startRecording();
    press({Key::q, Qt::Key_Q, Qt::ControlModifier});
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts[0].message, QString::fromUtf8("Utilisé par « Quitter Tessik »."));
    EXPECT_EQ(m_alerts[0].buttons, QStringList{"ok"});
    EXPECT_EQ(m_alertWindows[0], &m_window);
    EXPECT_FALSE(m_recordingDuringAlert);
    EXPECT_EQ(getShortcut(m_name), m_default);
    EXPECT_TRUE(m_changes.isEmpty());
    // Recording stops for the alert and resumes after it.
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_recorder->isRecording());
    EXPECT_EQ(m_active, (QList<bool>{false, true}));
}

TEST_F(RecorderTest, OptionOnlyShortcutsAreRefusedWhereTheSystemForbidsThem) {
    const Press optionOnly[] = {{Key::a, Qt::Key_A, Qt::AltModifier},
                                {Key::a, Qt::Key_A, Qt::AltModifier | Qt::ShiftModifier}};
    m_optionOnlyDisallowed = true;
    for (const Press& p : optionOnly) {
        startRecording();
        press(p);
        QCoreApplication::processEvents();
        EXPECT_EQ(getShortcut(m_name), m_default);
        EXPECT_TRUE(m_recorder->isRecording());
    }
    ASSERT_EQ(m_alerts.size(), 2);
    EXPECT_EQ(m_alerts[0].message, QStringLiteral("keyboard_shortcut_disallowed"));
    // Control+Option passes the check.
    press({Key::a, Qt::Key_A, Qt::AltModifier | Qt::MetaModifier});
    EXPECT_EQ(getShortcut(m_name), Shortcut(Key::a, kOption | kControl));
    // Where the system allows them, option alone is fine.
    m_optionOnlyDisallowed = false;
    startRecording();
    press(optionOnly[0]);
    EXPECT_EQ(getShortcut(m_name), Shortcut(Key::a, kOption));
    EXPECT_EQ(m_alerts.size(), 2);
}

TEST_F(RecorderTest, ADesktopShortcutNeedsTheUserToInsist) {
    const Shortcut terminal(Key::t, kCommand | kOption);
    m_backend->system =
        QList<SystemHotKey>{{true, terminal.carbonKeyCode, terminal.carbonModifiers},
                            {true, Key::f12.rawValue, 0},
                            {false, Key::k.rawValue, CarbonModifier::command}};
    const Press pressTerminal{Key::t, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier};
    startRecording();
    press(pressTerminal);
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts[0].message, QStringLiteral("keyboard_shortcut_used_by_system"));
    EXPECT_EQ(m_alerts[0].informativeText, QStringLiteral("keyboard_shortcuts_can_be_changed"));
    EXPECT_EQ(m_alerts[0].buttons, (QStringList{"ok", "force_use_shortcut"}));
    EXPECT_EQ(getShortcut(m_name), m_default);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_recorder->isRecording());

    m_answer = alertSecondButtonReturn;
    press(pressTerminal);
    EXPECT_EQ(getShortcut(m_name), terminal);
    // F12 alone and disabled desktop bindings never ask.
    for (const Press& p :
         {Press{Key::f12, Qt::Key_F12}, Press{Key::k, Qt::Key_K, Qt::ControlModifier}}) {
        startRecording();
        press(p);
    }
    EXPECT_EQ(m_alerts.size(), 2);
    EXPECT_EQ(getShortcut(m_name), Shortcut(Key::k, kCommand));
}

TEST_F(RecorderTest, WhileRecordingTheHotKeyRunsNoActionAndWindowShortcutsStayQuiet) {
    int captures = 0;
    onKeyDown(m_name, [&captures] { ++captures; });
    int quits = 0;
    QAction quit(&m_window);
    quit.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    m_window.addAction(&quit);
    QObject::connect(&quit, &QAction::triggered, [&quits] { ++quits; });

    startRecording();
    m_backend->press(m_default);
    QTest::keyClick(m_recorder, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(captures, 0);
    EXPECT_EQ(quits, 0);

    m_next->setFocus();
    QCoreApplication::processEvents();
    m_backend->press(m_default);
    QTest::keyClick(m_next, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(captures, 1);
    EXPECT_EQ(quits, 1);
}

TEST_F(RecorderTest, RefusingTheFirstResponderKeepsClicksFromRecording) {
    m_recorder->setRefusesFirstResponder(true);
    QTest::mouseClick(m_recorder, Qt::LeftButton);
    EXPECT_FALSE(m_recorder->isRecording());
    EXPECT_EQ(m_recorder->focusPolicy(), Qt::NoFocus);
    m_recorder->setRefusesFirstResponder(false);
    QTest::mouseClick(m_recorder, Qt::LeftButton);
    EXPECT_TRUE(m_recorder->isRecording());
}

TEST_F(RecorderTest, TheKeyViewGuardLastsOneTurnAfterEnteringAWindowOrItsActivation) {
    QWidget other;
    RecorderControl fresh(m_name, {}, &other);
    EXPECT_FALSE(fresh.canBecomeKeyView());
    QCoreApplication::processEvents();
    EXPECT_TRUE(fresh.canBecomeKeyView());
    fresh.setParent(&m_window);
    EXPECT_FALSE(fresh.canBecomeKeyView());
    QCoreApplication::processEvents();
    EXPECT_TRUE(fresh.canBecomeKeyView());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&m_window, &activate);
    EXPECT_FALSE(fresh.canBecomeKeyView());
    QCoreApplication::processEvents();
    EXPECT_TRUE(fresh.canBecomeKeyView());
}

TEST_F(RecorderTest, LosingTheWindowOrTheControlEndsRecording) {
    startRecording();
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(&m_window, &deactivate);
    EXPECT_FALSE(m_recorder->isRecording());
    EXPECT_FALSE(isPaused());
    EXPECT_EQ(QApplication::focusWidget(), nullptr);

    m_recorder->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(isPaused());
    delete m_recorder;
    m_recorder = nullptr;
    EXPECT_FALSE(isPaused());
    // The monitor went with it: keys reach other widgets again.
    m_next->setFocus();
    QTest::keyClicks(m_next, QStringLiteral("ok"));
    EXPECT_EQ(m_next->text(), QStringLiteral("ok"));
}

TEST(RecorderAlert, IsAWindowModalWarningAnsweredByItsButtons) {
    QWidget window;
    window.show();
    for (const int index : {0, 1}) {
        QTimer::singleShot(0, [index] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (!box || !box->isVisible()) continue;
                EXPECT_EQ(box->windowModality(), Qt::WindowModal);
                EXPECT_EQ(box->icon(), QMessageBox::Warning);
                EXPECT_EQ(box->informativeText(), QStringLiteral("détail"));
                const QString wanted = index == 0 ? QStringLiteral("OK") : QStringLiteral("Forcer");
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == wanted) b->click();
            }
        });
        const int answer = presentRecorderAlert(
            &window, {QStringLiteral("message"), QStringLiteral("détail"), {"OK", "Forcer"}});
        EXPECT_EQ(answer, alertFirstButtonReturn + index);
    }
}

TEST(RecorderStrings, TheInstalledTableHasEveryText) {
    setStringTable({});
    const char* keys[] = {"record_shortcut",
                          "press_shortcut",
                          "keyboard_shortcut_used_by_menu_item",
                          "keyboard_shortcut_disallowed",
                          "keyboard_shortcut_used_by_system",
                          "keyboard_shortcuts_can_be_changed",
                          "ok",
                          "force_use_shortcut",
                          "space_key"};
    for (const char* key : keys) {
        const QString text = localizedString(QString::fromLatin1(key));
        EXPECT_NE(text, QString::fromLatin1(key)) << key;
        EXPECT_FALSE(text.isEmpty()) << key;
    }
    EXPECT_TRUE(localizedString("keyboard_shortcut_used_by_menu_item").contains("%@"));
    EXPECT_EQ(localizedString("no_such_key"), QStringLiteral("no_such_key"));
}

}  // namespace
