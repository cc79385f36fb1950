#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include "App/AppDelegate.h"
#include "App/MainMenu.h"
#include "App/MainMenuBar.h"
#include "App/MenuBarController.h"
#include "App/MenuBarIcon.h"
#include "App/ShortcutNames.h"
#include "Settings/Preferences.h"
#include "support/AppDoubles.h"
#include "support/ShortcutFakes.h"

namespace {

// One row of a menu: the title, the message its action sends and its key equivalent; a row with
// an empty title is a separator.
struct Row {
    const char* title;
    const char* message;
    QKeySequence keys;
};

const Row separator{"", "", {}};

void expectMenu(const QMenu& menu, const std::vector<Row>& rows) {
    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), qsizetype(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        QAction* a = actions[qsizetype(i)];
        if (!*rows[i].title) {
            EXPECT_TRUE(a->isSeparator());
            continue;
        }
        EXPECT_EQ(a->text(), QString::fromUtf8(rows[i].title));
        EXPECT_EQ(a->objectName(), QString::fromLatin1(rows[i].message));
        EXPECT_EQ(a->shortcut(), rows[i].keys);
    }
}

QAction* trayItem(MenuBarController& c, const char* message) {
    return c.menu().findChild<QAction*>(QString::fromLatin1(message));
}

// The share of opaque pixels in the icon at `side`, and the colour of the most opaque one.
std::pair<double, QColor> inkOf(const QIcon& icon, int side) {
    const QImage image = icon.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    QColor strongest(Qt::transparent);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 128) ++opaque;
            if (c.alpha() > strongest.alpha()) strongest = c;
        }
    return {double(opaque) / (image.width() * image.height()), strongest};
}

}  // namespace

TEST(TrayMenu, HasItsItemsInOrderWithKeyEquivalents) {
    MenuBarController controller({});
    expectMenu(controller.menu(), {{"Capture zone", "performCaptureArea", {}},
                                   {"Capture plein écran", "performCaptureFullScreen", {}},
                                   separator,
                                   {"Réglages…", "performOpenPreferences", QKeySequence("Ctrl+,")},
                                   separator,
                                   {"Quitter Tessik", "terminate", QKeySequence("Ctrl+Q")}});
    EXPECT_TRUE(controller.statusItem().toolTip().startsWith(QString::fromUtf8("Tessik — ")));
    EXPECT_GT(controller.statusItem().toolTip().size(), 12);
    EXPECT_EQ(controller.statusItem().contextMenu(), &controller.menu());
}

TEST(TrayMenu, ItemsRunTheirActionsOnly) {
    QStringList ran;
    MenuBarActions actions{[&] { ran << "area"; }, [&] { ran << "full"; }, [&] { ran << "prefs"; }};
    MenuBarController controller(actions);
    trayItem(controller, "performCaptureArea")->trigger();
    trayItem(controller, "performCaptureFullScreen")->trigger();
    trayItem(controller, "performOpenPreferences")->trigger();
    EXPECT_EQ(ran, (QStringList{"area", "full", "prefs"}));

    MenuBarController empty({});  // unset actions are simply skipped
    trayItem(empty, "performCaptureArea")->trigger();
}

TEST(TrayMenu, BindsTheAreaItemAndSwitchesTheHotKeyOffWhileOpen) {
    QStringList log;
    QAction* bound = nullptr;
    MenuShortcutHooks hooks;
    hooks.bindCaptureAreaItem = [&](QAction* a) {
        bound = a;
        a->setShortcut(QKeySequence("Ctrl+Shift+2"));
    };
    hooks.disableCaptureArea = [&] { log << "disable"; };
    hooks.enableCaptureArea = [&] { log << "enable"; };
    MenuBarController controller({}, hooks);
    EXPECT_EQ(bound, trayItem(controller, "performCaptureArea"));
    EXPECT_EQ(bound->shortcut(), QKeySequence("Ctrl+Shift+2"));
    EXPECT_TRUE(log.isEmpty());

    controller.menu().popup(QPoint(10, 10));
    EXPECT_EQ(log, QStringList{"disable"});
    controller.menu().hide();
    EXPECT_EQ(log, (QStringList{"disable", "enable"}));
}

TEST(TrayMenu, LeftClickOpensTheMenuAndOtherClicksDoNot) {
    MenuBarController controller({});
    emit controller.statusItem().activated(QSystemTrayIcon::MiddleClick);
    EXPECT_FALSE(controller.menu().isVisible());
    emit controller.statusItem().activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(controller.menu().isVisible());
    controller.menu().hide();
}

TEST(TrayIcon, IsTheTintedMarkOrTheBracketTextWhenTheImageIsMissing) {
    MenuBarController real({});
    MenuBarController missing({}, {}, QStringLiteral(":/no/such/icon.svg"));
    EXPECT_FALSE(real.usesFallbackIcon());
    EXPECT_TRUE(missing.usesFallbackIcon());
    EXPECT_EQ(missing.statusItem().toolTip(), real.statusItem().toolTip());

    for (MenuBarController* c : {&real, &missing}) {
        const auto [share, colour] = inkOf(c->statusItem().icon(), 22);
        EXPECT_GT(share, 0.05);  // something is drawn…
        EXPECT_LT(share, 0.6);   // …and it is not a filled square
        EXPECT_EQ(colour.rgb(), MenuBarIcon::panelTint().rgb());
    }
    // Garbage in place of an SVG is a missing image too.
    EXPECT_FALSE(MenuBarIcon::load(QStringLiteral(":/no/such/icon.svg"), Qt::black));
}

TEST(TrayIcon, TintFollowsTheApplicationPalette) {
    const QPalette original = QApplication::palette();
    MenuBarController controller({});
    QPalette light = original;
    light.setColor(QPalette::WindowText, QColor(250, 250, 250));
    QApplication::setPalette(light);
    const QColor after = inkOf(controller.statusItem().icon(), 22).second;
    QApplication::setPalette(original);
    EXPECT_EQ(after.rgb(), QColor(250, 250, 250).rgb());
}

TEST(MainMenu, ApplicationMenuHasItsItemsInOrder) {
    auto menu = MainMenu::makeApplicationMenuItem();
    EXPECT_TRUE(menu->title().isEmpty());
    expectMenu(*menu, {{"À propos de Tessik", "orderFrontStandardAboutPanel", {}},
                       separator,
                       {"Réglages…", "showPreferences", QKeySequence("Ctrl+,")},
                       separator,
                       {"Services", "", {}},
                       separator,
                       {"Masquer Tessik", "hide", QKeySequence("Ctrl+H")},
                       {"Masquer les autres", "hideOtherApplications", QKeySequence("Ctrl+Alt+H")},
                       separator,
                       {"Quitter Tessik", "terminate", QKeySequence("Ctrl+Q")}});
    QMenu* services = menu->actions()[4]->menu();
    ASSERT_NE(services, nullptr);
    EXPECT_TRUE(services->actions().isEmpty());
}

TEST(MainMenu, EditMenuHasItsItemsInOrder) {
    auto menu = MainMenu::makeEditMenuItem();
    EXPECT_EQ(menu->title(), QString::fromUtf8("Édition"));
    EXPECT_EQ(menu->menuAction()->text(), QString::fromUtf8("Édition"));
    expectMenu(*menu, {{"Annuler", "undo", QKeySequence("Ctrl+Z")},
                       {"Rétablir", "redo", QKeySequence("Ctrl+Shift+Z")},
                       separator,
                       {"Couper", "cut", QKeySequence("Ctrl+X")},
                       {"Copier", "copy", QKeySequence("Ctrl+C")},
                       {"Coller", "paste", QKeySequence("Ctrl+V")},
                       {"Supprimer", "delete", {}},
                       {"Tout sélectionner", "selectAll", QKeySequence("Ctrl+A")}});
}

TEST(MainMenu, EditItemsGoToTheFocusedWidget) {
    MainMenuBar bar({MainMenu::makeEditMenuItem().release()});
    QWidget window;
    auto* field = new QLineEdit(QStringLiteral("bonjour le monde"), &window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), field);

    bar.action("selectAll")->trigger();
    EXPECT_EQ(field->selectedText(), QStringLiteral("bonjour le monde"));
    bar.action("copy")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("bonjour le monde"));
    bar.action("delete")->trigger();
    EXPECT_TRUE(field->text().isEmpty());
    bar.action("undo")->trigger();
    EXPECT_EQ(field->text(), QStringLiteral("bonjour le monde"));
    field->setSelection(0, 8);
    bar.action("cut")->trigger();
    EXPECT_EQ(field->text(), QStringLiteral("le monde"));
    field->setCursorPosition(0);
    bar.action("paste")->trigger();
    EXPECT_EQ(field->text(), QStringLiteral("bonjour le monde"));

    field->clearFocus();
    window.setFocus();
    EXPECT_FALSE(MainMenu::sendToFocusedWidget("copy"));  // nobody answers: nothing happens
}

TEST(MainMenuBar, OrdinaryWindowsGetTheKeyEquivalentsFramelessOnesDoNot) {
    MainMenuBar bar(
        {MainMenu::makeApplicationMenuItem().release(), MainMenu::makeEditMenuItem().release()});
    int preferences = 0;
    QObject::connect(bar.action("showPreferences"), &QAction::triggered, [&] { ++preferences; });
    EXPECT_EQ(bar.actions().size(), 12);  // 5 + 7 commands; separators and Services excluded

    QWidget window;
    QWidget overlay(nullptr, Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
    window.show();
    overlay.show();
    EXPECT_TRUE(window.actions().contains(bar.action("terminate")));
    EXPECT_TRUE(window.actions().contains(bar.action("copy")));
    EXPECT_TRUE(overlay.actions().isEmpty());

    window.hide();
    window.show();  // showing again does not duplicate
    EXPECT_EQ(window.actions().size(), 12);

    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(preferences, 1);
}

TEST(MainMenuBar, HideHidesTheOrdinaryWindows) {
    MainMenuBar bar({MainMenu::makeApplicationMenuItem().release()});
    QWidget a, b;
    QWidget overlay(nullptr, Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
    a.show();
    b.show();
    overlay.show();
    bar.action("hide")->trigger();
    EXPECT_FALSE(a.isVisible());
    EXPECT_FALSE(b.isVisible());
    EXPECT_TRUE(overlay.isVisible());
    bar.action("hideOtherApplications")->trigger();  // no counterpart: harmless
}

TEST(MenuBarWiring, CaptureZoneItemReachesTheAreaCapture) {
    QTemporaryDir dir;
    DefaultsStore store(dir.filePath("Tessik.ini"));
    Preferences preferences(store);
    AppServices s;
    s.preferences = &preferences;
    s.toast = std::make_unique<FakeToast>();
    s.compose = [](const OverlayResult& r) -> std::expected<QImage, AnyError> {
        return r.capture.image;
    };
    s.makeFileExporter = [](const QString&) -> std::unique_ptr<Exporter> {
        return std::make_unique<FakeExporter>();
    };
    auto* capture = new FakeCaptureService;
    auto* overlay = new FakeOverlay;
    auto* screens = new FakeScreens;
    s.captureService.reset(capture);
    s.overlay.reset(overlay);
    s.screens.reset(screens);
    s.permissions = std::make_unique<FakePermissions>();
    s.clipboardExporter = std::make_unique<FakeExporter>();
    s.alert = [](const QString&, const QString&) {};
    screens->screens = {ScreenDescriptor{7, Rect(0, 0, 100, 80), 1}};
    screens->pointerScreen = screens->screens[0];
    capture->captureAllResult = QList<DisplayCapture>{};
    MenuBarController* controller = nullptr;
    s.makeMenuBar = [&](MenuBarActions actions) {
        auto c = std::make_shared<MenuBarController>(std::move(actions));
        controller = c.get();
        return std::shared_ptr<void>(c);
    };
    AppDelegate app(std::move(s));
    app.applicationDidFinishLaunching();
    ASSERT_NE(controller, nullptr);

    trayItem(*controller, "performCaptureArea")->trigger();
    QTest::qWait(20);
    EXPECT_EQ(capture->captureAllCalls.size(), 1);
    EXPECT_EQ(overlay->presented.size(), 1);
    trayItem(*controller, "performCaptureFullScreen")->trigger();
    QTest::qWait(20);
    EXPECT_EQ(capture->captureCalls.size(), 1);
}

TEST(TrayMenu, KeyEquivalentsWorkWhileTheMenuIsOpenAndCloseIt) {
    QStringList ran;
    MenuBarActions actions{[&] { ran << "area"; }, [&] { ran << "full"; }, [&] { ran << "prefs"; }};
    // As on X11, the shifted digit arrives as the character it types; the hook recognises the
    // physical key.
    MenuShortcutHooks hooks;
    hooks.isCaptureAreaKey = [](const QKeyEvent& e) {
        return e.key() == Qt::Key_At && e.modifiers() == (Qt::ControlModifier | Qt::ShiftModifier);
    };
    MenuBarController controller(actions, hooks);
    QMenu& menu = controller.menu();

    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* runs;
    } cases[] = {{Qt::Key_Comma, Qt::ControlModifier, "prefs"},
                 {Qt::Key_At, Qt::ControlModifier | Qt::ShiftModifier, "area"},
                 {Qt::Key_W, Qt::ControlModifier, nullptr},
                 {Qt::Key_2, Qt::ControlModifier, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        ran.clear();
        menu.popup(QPoint(10, 10));
        QTest::keyClick(&menu, c.key, c.modifiers);
        EXPECT_EQ(ran, c.runs ? QStringList{c.runs} : QStringList{});
        EXPECT_EQ(menu.isVisible(), c.runs == nullptr);
        menu.hide();
    }
}

using TrayMenuShortcut = ShortcutModuleFixture;

TEST_F(TrayMenuShortcut, CaptureZoneFollowsTheGlobalShortcutAndRunsOnceWhileTheMenuIsOpen) {
    using namespace GlobalShortcuts;
    const Name& name = ShortcutNames::captureArea();
    const Shortcut commandShift2(Key::two, EventModifier::command | EventModifier::shift);
    setShortcut(commandShift2, name);
    int captures = 0;
    MenuBarController controller({[&] { ++captures; }, {}, {}}, MenuShortcutHooks::captureArea());
    QAction* area = trayItem(controller, "performCaptureArea");
    EXPECT_EQ(area->shortcut(), QKeySequence("Ctrl+Shift+2"));
    // The menu and the tool tip name it as the settings do.
    EXPECT_EQ(area->shortcut().toString(QKeySequence::NativeText), QStringLiteral("Ctrl+Maj+2"));
    const QString tip = controller.statusItem().toolTip();
    EXPECT_EQ(tip, QString::fromUtf8("Tessik — Ctrl+Maj+2 pour capturer une zone"));

    // A recorded shortcut shows at the next opening, a cleared one shows none.
    setShortcut(Shortcut(Key::a, EventModifier::command | EventModifier::option), name);
    QCoreApplication::processEvents();
    EXPECT_EQ(area->shortcut(), QKeySequence("Ctrl+Alt+A"));
    EXPECT_EQ(controller.statusItem().toolTip(),
              QString::fromUtf8("Tessik — Ctrl+Alt+A pour capturer une zone"));
    setShortcut(Shortcut(Key::printScreen), name);
    QCoreApplication::processEvents();
    EXPECT_EQ(area->shortcut(), QKeySequence(Qt::Key_Print));
    EXPECT_EQ(controller.statusItem().toolTip(),
              QString::fromUtf8("Tessik — Imprimer pour capturer une zone"));
    setShortcut(std::nullopt, name);
    QCoreApplication::processEvents();
    EXPECT_TRUE(area->shortcut().isEmpty());
    EXPECT_FALSE(controller.statusItem().toolTip().contains(QStringLiteral("Ctrl")));
    EXPECT_TRUE(controller.statusItem().toolTip().startsWith(QString::fromUtf8("Tessik — ")));
    setShortcut(commandShift2, name);
    QCoreApplication::processEvents();
    ASSERT_EQ(m_backend->live.size(), 1u);

    // Open: the hot key is off, so the chord reaches the menu only and picks the item once.
    controller.menu().popup(QPoint(10, 10));
    EXPECT_TRUE(m_backend->live.empty());
    EXPECT_EQ(m_backend->press(commandShift2), 0);
    // What X11 delivers for Ctrl+Shift+2 on a US layout: the shifted character, keycode 11.
    QKeyEvent chord(QEvent::KeyPress, Qt::Key_At, Qt::ControlModifier | Qt::ShiftModifier, 11, 0x40,
                    0, QStringLiteral("@"));
    QApplication::sendEvent(&controller.menu(), &chord);
    EXPECT_EQ(captures, 1);
    EXPECT_FALSE(controller.menu().isVisible());
    EXPECT_EQ(m_backend->live.size(), 1u);  // back on once closed
}

TEST(MainMenu, AboutBoxShowsOnceWithTheNameAndVersion) {
    auto menu = MainMenu::makeApplicationMenuItem();
    MainMenu::action(*menu, "orderFrontStandardAboutPanel")->trigger();
    MainMenu::action(*menu, "orderFrontStandardAboutPanel")->trigger();
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) boxes << box;
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->windowTitle(), QString::fromUtf8("À propos de Tessik"));
    EXPECT_TRUE(boxes[0]->text().contains(QStringLiteral("Tessik")));
    boxes[0]->close();
}
