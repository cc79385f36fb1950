#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "Onboarding/OnboardingModel.h"
#include "Onboarding/OnboardingView.h"
#include "Onboarding/OnboardingWindowController.h"
#include "support/AppDoubles.h"

using namespace std::chrono_literals;
using Step = OnboardingModel::Step;

namespace {

QStringList labelTexts(const QWidget& root) {
    QStringList texts;
    for (const QLabel* label : root.findChildren<QLabel*>())
        if (label->isVisibleTo(&root)) texts << label->text();
    return texts;
}

void showActive(QWidget& window) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

}  // namespace

TEST(OnboardingModel, GrantedAccessSwitchesTheScreenAfterAboutOneSecond) {
    FakePermissions permissions;
    OnboardingModel model(permissions);
    QSignalSpy changes(&model, &OnboardingModel::stepChanged);
    QElapsedTimer clock;
    clock.start();
    model.startWatching();
    QCoreApplication::processEvents();
    EXPECT_EQ(permissions.queries, 0);  // the first query comes after the first sleep
    EXPECT_EQ(model.step(), Step::needsPermission);

    ASSERT_TRUE(QTest::qWaitFor([&] { return model.step() == Step::grantedNeedsRelaunch; }, 3000));
    EXPECT_GE(clock.elapsed(), 950);
    EXPECT_EQ(changes.size(), 1);
    EXPECT_EQ(permissions.queries, 1);
    QTest::qWait(1100);
    EXPECT_EQ(permissions.queries, 1);  // a watcher that found access has ended…
    EXPECT_TRUE(model.hasWatcher());    // …but keeps its handle
}

TEST(OnboardingModel, PollsUntilGrantedAndTwoStartsMakeOneWatcher) {
    FakePermissions permissions;
    permissions.access = false;
    OnboardingModel model(permissions, 100ms);
    model.startWatching();
    model.startWatching();
    ASSERT_TRUE(QTest::qWaitFor([&] { return permissions.queries >= 1; }, 2000));
    QTest::qWait(30);
    EXPECT_EQ(permissions.queries, 1);  // a second watcher would have queried at the same time
    ASSERT_TRUE(QTest::qWaitFor([&] { return permissions.queries >= 2; }, 2000));
    EXPECT_EQ(model.step(), Step::needsPermission);
    permissions.access = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.step() == Step::grantedNeedsRelaunch; }, 2000));
}

TEST(OnboardingModel, StopDuringTheSleepMakesOneLastQueryThenNoMore) {
    for (bool access : {false, true}) {
        SCOPED_TRACE(access);
        FakePermissions permissions;
        permissions.access = access;
        OnboardingModel model(permissions, 200ms);
        model.startWatching();
        QTest::qWait(20);
        model.stopWatching();
        EXPECT_FALSE(model.hasWatcher());
        EXPECT_EQ(permissions.queries, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(permissions.queries, 1);
        // That last query may still switch the screen.
        EXPECT_EQ(model.step(), access ? Step::grantedNeedsRelaunch : Step::needsPermission);
        QTest::qWait(450);
        EXPECT_EQ(permissions.queries, 1);
    }
}

TEST(OnboardingModel, AFinishedWatcherIsRestartedOnlyAfterAStop) {
    FakePermissions permissions;
    OnboardingModel model(permissions, 30ms);
    QSignalSpy changes(&model, &OnboardingModel::stepChanged);
    model.startWatching();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.step() == Step::grantedNeedsRelaunch; }, 2000));
    model.startWatching();  // still held: nothing new
    QTest::qWait(100);
    EXPECT_EQ(permissions.queries, 1);

    model.stopWatching();  // finished, nothing to interrupt: no extra query
    QTest::qWait(10);
    EXPECT_EQ(permissions.queries, 1);
    model.startWatching();
    ASSERT_TRUE(QTest::qWaitFor([&] { return permissions.queries == 2; }, 2000));
    EXPECT_EQ(model.step(), Step::grantedNeedsRelaunch);
    EXPECT_EQ(changes.size(), 1);  // found again, but nothing changed
}

TEST(OnboardingModel, AReleasedModelEndsItsWatcherAndForwardsItsRequests) {
    FakePermissions permissions;
    auto model = std::make_unique<OnboardingModel>(permissions, 30ms);
    model->openSystemSettings();
    model->relaunch();
    EXPECT_EQ(permissions.settingsOpened, 1);
    EXPECT_EQ(permissions.relaunches, 1);
    model->startWatching();
    model.reset();
    QTest::qWait(100);
    EXPECT_EQ(permissions.queries, 0);
}

TEST(OnboardingWindow, IsBuiltOnceAsksForAccessOnceAndIsAFixedWidthWindow) {
    FakePermissions permissions;
    permissions.access = false;
    OnboardingWindowController controller(permissions, 50ms);
    EXPECT_EQ(controller.window(), nullptr);
    EXPECT_EQ(permissions.requests, 0);
    controller.show();
    OnboardingView* window = controller.window();
    ASSERT_NE(window, nullptr);
    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_EQ(permissions.requests, 1);

    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Bienvenue dans Tessik"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->width(), 440);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());  // not resizable
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

TEST(OnboardingWindow, ShowsEveryTextOfBothScreensUntruncated) {
    FakePermissions permissions;
    permissions.access = false;
    OnboardingWindowController controller(permissions, 30ms);
    controller.show();
    OnboardingView& view = *controller.window();
    const QString header = QString::fromUtf8("Tessik a besoin d'accéder à votre écran");
    EXPECT_EQ(
        labelTexts(view),
        (QStringList{
            header,
            QString::fromUtf8("Pour capturer une zone de l'écran, votre bureau demande votre "
                              "accord pour les captures d'écran. Tessik ne lit l'écran qu'au "
                              "moment où vous déclenchez une capture."),
            QString::fromUtf8("Acceptez la demande de captures d'écran que votre bureau affiche."),
            QString::fromUtf8("Déjà refusée ? Autorisez Tessik à faire des captures d'écran dans "
                              "les paramètres des applications de votre bureau."),
            QString::fromUtf8("Revenez ici : Tessik détectera l'autorisation tout seul.")}));
    EXPECT_EQ(view.defaultButton()->text(), QString::fromUtf8("Ouvrir les paramètres"));
    const int requestHeight = view.height();

    permissions.access = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.grantedScreen()->isVisible(); }, 2000));
    EXPECT_FALSE(view.requestScreen()->isVisible());
    EXPECT_EQ(labelTexts(view),
              (QStringList{header, QString::fromUtf8("Autorisation accordée"),
                           QString::fromUtf8(
                               "Relancez Tessik pour repartir avec l'autorisation accordée.")}));
    EXPECT_EQ(view.defaultButton()->text(), QString::fromUtf8("Relancer Tessik"));
    EXPECT_LT(view.height(), requestHeight);  // the window fits the shorter screen

    // Wrapped text gets all the height it needs at the window's width.
    for (QLabel* label : view.findChildren<QLabel*>()) {
        if (label->isVisible()) {
            EXPECT_GE(label->height(), label->heightForWidth(label->width()));
        }
    }
}

TEST(OnboardingWindow, ReturnActivatesTheDefaultButtonOfEachScreen) {
    FakePermissions permissions;
    permissions.access = false;
    OnboardingWindowController controller(permissions, 30ms);
    controller.show();
    OnboardingView& view = *controller.window();
    showActive(view);
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(permissions.settingsOpened, 1);
    EXPECT_EQ(permissions.relaunches, 0);

    permissions.access = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.grantedScreen()->isVisible(); }, 2000));
    QTest::keyClick(&view, Qt::Key_Enter);
    EXPECT_EQ(permissions.relaunches, 1);
    EXPECT_EQ(permissions.settingsOpened, 1);
}

TEST(OnboardingWindow, ClosingHidesAndStopsTheWatcherShowingAgainRestartsIt) {
    FakePermissions permissions;
    permissions.access = false;
    OnboardingWindowController controller(permissions, 50ms);
    controller.show();
    EXPECT_TRUE(controller.model()->hasWatcher());
    controller.window()->close();
    EXPECT_FALSE(controller.window()->isVisible());
    EXPECT_FALSE(controller.model()->hasWatcher());
    QCoreApplication::processEvents();
    const int queries = permissions.queries;
    QTest::qWait(150);
    EXPECT_EQ(permissions.queries, queries);  // nothing runs while closed

    // Granted meanwhile: the reopened window finds it and shows the granted screen.
    permissions.access = true;
    controller.show();
    EXPECT_TRUE(controller.model()->hasWatcher());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return controller.model()->step() == Step::grantedNeedsRelaunch; }, 2000));
    controller.window()->close();
    controller.show();
    EXPECT_TRUE(controller.window()->grantedScreen()->isVisible());
    EXPECT_EQ(permissions.requests, 1);
}
