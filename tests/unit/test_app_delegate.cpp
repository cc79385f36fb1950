#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "App/AppDelegate.h"
#include "Settings/Preferences.h"
#include "support/AppDoubles.h"

namespace {

struct TestError {
    QString text;
    QString description() const { return text; }
};

ScreenDescriptor screenA() {
    return {11, Rect(0, 0, 1440, 900), 2};
}
ScreenDescriptor screenB() {
    return {22, Rect(1440, 0, 1920, 1080), 1};
}

DisplayCapture captureOf(const ScreenDescriptor& s) {
    QImage image(int(s.frame.width() * s.scale), int(s.frame.height() * s.scale),
                 QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return {s, image};
}

// The controller with every collaborator replaced by a double the test can steer and read.
class AppDelegateTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    DefaultsStore store{dir.filePath("Tessik.conf")};
    Preferences preferences{store};

    FakeCaptureService* capture = nullptr;
    FakePermissions* permissions = nullptr;
    FakeScreens* screens = nullptr;
    FakeExporter* clipboard = nullptr;
    FakeToast* toast = nullptr;
    FakeOverlay* overlay = nullptr;
    FakeExporter* lastFileExporter = nullptr;
    QStringList savedTo;
    std::optional<AnyError> fileFailure;
    std::optional<AnyError> composeFailure;
    QList<QPair<QString, QString>> alerts;
    int onboardingShows = 0, onboardingBuilds = 0, settingsShows = 0, menuBars = 0;
    std::function<void()> shortcutAction;
    QString shortcutText = QStringLiteral("Ctrl+Maj+2");
    MenuBarActions menuActions;
    std::chrono::milliseconds idleDelay = std::chrono::hours(1);
    std::unique_ptr<AppDelegate> app;

    void SetUp() override { app = std::make_unique<AppDelegate>(services()); }

    // Every collaborator as a double; the pointers above are set to them.
    AppServices services() {
        AppServices s;
        s.preferences = &preferences;
        s.captureService = std::make_unique<FakeCaptureService>();
        capture = static_cast<FakeCaptureService*>(s.captureService.get());
        s.permissions = std::make_unique<FakePermissions>();
        permissions = static_cast<FakePermissions*>(s.permissions.get());
        s.screens = std::make_unique<FakeScreens>();
        screens = static_cast<FakeScreens*>(s.screens.get());
        s.clipboardExporter = std::make_unique<FakeExporter>();
        clipboard = static_cast<FakeExporter*>(s.clipboardExporter.get());
        s.toast = std::make_unique<FakeToast>();
        toast = static_cast<FakeToast*>(s.toast.get());
        s.overlay = std::make_unique<FakeOverlay>();
        overlay = static_cast<FakeOverlay*>(s.overlay.get());
        s.compose = [this](const OverlayResult& r) -> std::expected<QImage, AnyError> {
            if (composeFailure) return std::unexpected(*composeFailure);
            return r.capture.image.copy(0, 0, 10, 10);
        };
        s.makeFileExporter = [this](const QString& directory) {
            savedTo << directory;
            auto e = std::make_unique<FakeExporter>();
            e->failure = fileFailure;
            lastFileExporter = e.get();
            return e;
        };
        s.makeOnboardingWindow = [this](PermissionService&) {
            ++onboardingBuilds;
            return std::make_unique<FakeWindow>(&onboardingShows);
        };
        s.makeSettingsWindow = [this](Preferences&) {
            return std::make_unique<FakeWindow>(&settingsShows);
        };
        s.makeMenuBar = [this](MenuBarActions actions) {
            ++menuBars;
            menuActions = std::move(actions);
            return std::shared_ptr<void>();
        };
        s.onCaptureAreaShortcut = [this](std::function<void()> action) {
            shortcutAction = std::move(action);
        };
        s.alert = [this](const QString& m, const QString& t) { alerts << qMakePair(m, t); };
        s.idleReleaseDelay = idleDelay;
        s.captureAreaShortcutText = [this] { return shortcutText; };
        screens->screens = {screenA(), screenB()};
        screens->pointerScreen = screenB();
        capture->captureAllResult =
            QList<DisplayCapture>{captureOf(screenA()), captureOf(screenB())};
        capture->captureResult = captureOf(screenB());
        return s;
    }

    void launch() { app->applicationDidFinishLaunching(); }

    // Lets worker-thread composition and the queued continuations after it finish.
    void settle() {
        for (int i = 0; i < 4; ++i) {
            QThreadPool::globalInstance()->waitForDone(5000);
            QTest::qWait(10);
        }
    }

    OverlayResult resultOn(const ScreenDescriptor& s) {
        return {captureOf(s), Rect(10, 10, 100, 50), {}};
    }
};

TEST_F(AppDelegateTest, LaunchBuildsTheMenuWiresShortcutAndOverlayThenWarmsUp) {
    launch();
    EXPECT_EQ(menuBars, 1);
    ASSERT_TRUE(shortcutAction);
    EXPECT_TRUE(overlay->onComplete && overlay->onCancel);
    EXPECT_EQ(capture->calls, QStringList{"prewarm"});
    EXPECT_EQ(onboardingShows, 0);

    shortcutAction();
    settle();
    EXPECT_EQ(overlay->presented.size(), 1);
}

TEST_F(AppDelegateTest, TheFirstLaunchSaysWhatToPressOnceOnTheMainDisplay) {
    launch();
    EXPECT_EQ(
        toast->shownOnMainDisplay,
        QStringList{QString::fromUtf8("Tessik est prêt : Ctrl+Maj+2 pour capturer une zone")});
    EXPECT_TRUE(toast->shown.isEmpty());
    // Remembered in the settings file at once.
    DefaultsStore reread(dir.filePath("Tessik.conf"));
    EXPECT_TRUE(Preferences(reread).welcomeShown());
}

TEST_F(AppDelegateTest, LaterLaunchesSayNothing) {
    preferences.setWelcomeShown();
    launch();
    EXPECT_TRUE(toast->shownOnMainDisplay.isEmpty());
}

TEST_F(AppDelegateTest, WithoutAShortcutTheWelcomePointsToTheIcon) {
    shortcutText.clear();
    launch();
    EXPECT_EQ(toast->shownOnMainDisplay,
              QStringList{QString::fromUtf8(
                  "Tessik est prêt : cliquez sur son icône pour capturer une zone")});
}

TEST_F(AppDelegateTest, MissingAccessShowsOnboardingAndNeverTheAlert) {
    permissions->access = false;
    launch();
    EXPECT_EQ(onboardingShows, 1);
    EXPECT_FALSE(capture->calls.contains("prewarm"));
    app->captureArea();
    app->captureFullScreen();
    settle();
    EXPECT_EQ(onboardingShows, 3);
    EXPECT_EQ(onboardingBuilds, 1);  // built once, shown again
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_FALSE(capture->calls.contains("captureAll") || capture->calls.contains("capture"));
}

TEST_F(AppDelegateTest, AreaCapturePresentsEveryDisplayWithTheDefaultActionReadNow) {
    launch();
    preferences.setDefaultAction(ExportAction::save);
    app->captureArea();
    settle();
    ASSERT_EQ(capture->captureAllCalls.size(), 1);
    EXPECT_EQ(capture->captureAllCalls[0], (QList<ScreenDescriptor>{screenA(), screenB()}));
    ASSERT_EQ(overlay->presented.size(), 1);
    EXPECT_EQ(overlay->presented[0].size(), 2);
    EXPECT_EQ(overlay->defaultActions[0], ExportAction::save);
}

TEST_F(AppDelegateTest, SecondAreaCaptureWhileOverlayIsUpDoesNothing) {
    launch();
    overlay->sessions = true;
    app->captureArea();
    settle();
    EXPECT_FALSE(capture->calls.contains("captureAll"));
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(AppDelegateTest, NoDisplayShowsTheUnavailableAlert) {
    launch();
    screens->screens.clear();
    app->captureArea();
    screens->pointerScreen.reset();
    app->captureFullScreen();
    settle();
    ASSERT_EQ(alerts.size(), 2);
    for (const auto& a : alerts) {
        EXPECT_EQ(a.first, "Capture impossible");
        EXPECT_EQ(a.second, QString::fromUtf8("L'écran à capturer n'est plus disponible."));
    }
    EXPECT_FALSE(capture->calls.contains("captureAll") || capture->calls.contains("capture"));
}

TEST_F(AppDelegateTest, CaptureFailuresLeadToOnboardingOrTheAlert) {
    launch();
    capture->captureAllResult = std::unexpected(CaptureError::permissionDenied());
    app->captureArea();
    settle();
    EXPECT_EQ(onboardingShows, 1);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(overlay->presented.isEmpty());

    capture->captureAllResult = std::unexpected(CaptureError::captureFailed("X a dit non"));
    app->captureArea();
    settle();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].second, QString::fromUtf8("La capture a échoué : X a dit non"));
    EXPECT_TRUE(overlay->presented.isEmpty());
}

TEST_F(AppDelegateTest, CopyShowsTheToastOnTheSelectionsDisplay) {
    launch();
    overlay->onComplete(resultOn(screenA()), ExportAction::copy);
    settle();
    ASSERT_EQ(clipboard->exported.size(), 1);
    EXPECT_EQ(clipboard->exported[0].size(), QSize(10, 10));
    ASSERT_EQ(toast->shown.size(), 1);
    EXPECT_EQ(toast->shown[0].message, QString::fromUtf8("Copié dans le presse-papiers"));
    EXPECT_EQ(toast->shown[0].screen, screenA());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(AppDelegateTest, SaveWritesIntoTheCurrentSaveFolder) {
    launch();
    preferences.setSaveDirectory(dir.filePath("shots"));
    overlay->onComplete(resultOn(screenB()), ExportAction::save);
    settle();
    EXPECT_EQ(savedTo, QStringList{dir.filePath("shots")});
    ASSERT_EQ(toast->shown.size(), 1);
    EXPECT_EQ(toast->shown[0].message, QString::fromUtf8("Enregistré"));
    EXPECT_EQ(toast->shown[0].screen, screenB());
    EXPECT_TRUE(clipboard->exported.isEmpty());
}

TEST_F(AppDelegateTest, FailedExportShowsTheAlertAndNoToast) {
    launch();
    composeFailure = AnyError(TestError{"La sélection est vide."});
    overlay->onComplete(resultOn(screenA()), ExportAction::copy);
    settle();
    clipboard->failure = AnyError(TestError{"encodage impossible"});
    composeFailure.reset();
    overlay->onComplete(resultOn(screenA()), ExportAction::copy);
    settle();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(alerts[0].second, QString::fromUtf8("La sélection est vide."));
    EXPECT_EQ(alerts[1].second, "encodage impossible");
    EXPECT_TRUE(toast->shown.isEmpty());
}

TEST_F(AppDelegateTest, AFailedSaveLeavesTheCaptureOnTheClipboardAndSaysWhere) {
    launch();
    const QString folder = dir.filePath("shots");
    preferences.setSaveDirectory(folder);
    const QString reason = QString::fromUtf8(
        "Impossible d'écrire dans le dossier d'enregistrement : le disque est plein");
    fileFailure = AnyError(TestError{reason});
    overlay->onComplete(resultOn(screenA()), ExportAction::save);
    settle();
    // The composed image, not the whole capture.
    ASSERT_EQ(clipboard->exported.size(), 1);
    EXPECT_EQ(clipboard->exported[0], resultOn(screenA()).capture.image.copy(0, 0, 10, 10));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].first, "Capture impossible");
    EXPECT_EQ(alerts[0].second,
              reason + QString::fromUtf8(".\nDossier : ") + folder +
                  QString::fromUtf8("\nLa capture a été copiée dans le presse-papiers."));
    EXPECT_TRUE(toast->shown.isEmpty());

    // When the copy fails too, the alert does not claim it.
    clipboard->failure = AnyError(TestError{"encodage impossible"});
    overlay->onComplete(resultOn(screenA()), ExportAction::save);
    settle();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(alerts[1].second, reason + QString::fromUtf8(".\nDossier : ") + folder);
    EXPECT_TRUE(toast->shown.isEmpty());
}

TEST_F(AppDelegateTest, FullScreenCopiesTheWholeImageWithoutToast) {
    launch();
    overlay->sessions = true;  // allowed while an overlay is up
    app->captureFullScreen();
    settle();
    EXPECT_EQ(capture->captureCalls, QList<ScreenDescriptor>{screenB()});
    ASSERT_EQ(clipboard->exported.size(), 1);
    EXPECT_EQ(clipboard->exported[0].size(), QSize(1920, 1080));
    EXPECT_TRUE(toast->shown.isEmpty());
}

// Where the compositor wants the keyboard for the clipboard (Wayland): every display is
// captured, and the one the handover names is copied while it is up.
class AppDelegateHandoverTest : public AppDelegateTest {
protected:
    QList<QList<DisplayCapture>> handedOver;
    std::function<void(const DisplayCapture&)> copy;
    bool keyboard = false;

    void SetUp() override {
        AppServices s = services();
        s.handOverFullScreen = [this](const QList<DisplayCapture>& captures,
                                      std::function<void(const DisplayCapture&)> c) {
            handedOver << captures;
            copy = std::move(c);
        };
        s.hasKeyboard = [this] { return keyboard; };
        app = std::make_unique<AppDelegate>(std::move(s));
    }
};

TEST_F(AppDelegateHandoverTest, FullScreenCapturesEveryDisplayAndCopiesTheOneHandedBack) {
    launch();
    app->captureFullScreen();
    settle();
    const QList<ScreenDescriptor> all{screenA(), screenB()};
    EXPECT_EQ(capture->captureAllCalls, QList<QList<ScreenDescriptor>>{all});
    EXPECT_TRUE(capture->captureCalls.isEmpty());
    ASSERT_EQ(handedOver.size(), 1);
    EXPECT_EQ(handedOver[0].size(), 2);
    EXPECT_TRUE(clipboard->exported.isEmpty()) << "nothing copied before the handover says";
    copy(handedOver[0][0]);
    settle();
    ASSERT_EQ(clipboard->exported.size(), 1);
    EXPECT_EQ(clipboard->exported[0].size(), QSize(2880, 1800));
    EXPECT_TRUE(toast->shown.isEmpty());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(AppDelegateHandoverTest, AWindowWithTheKeyboardCopiesTheDisplayUnderThePointerAtOnce) {
    launch();
    keyboard = true;  // an overlay is up, for example
    app->captureFullScreen();
    settle();
    EXPECT_TRUE(handedOver.isEmpty());
    EXPECT_EQ(capture->captureCalls, QList<ScreenDescriptor>{screenB()});
    ASSERT_EQ(clipboard->exported.size(), 1);
    EXPECT_EQ(clipboard->exported[0].size(), QSize(1920, 1080));
}

TEST_F(AppDelegateTest, CancelIsSilentAndMenuActionsReachTheCommands) {
    launch();
    overlay->onCancel();
    menuActions.openPreferences();
    menuActions.openPreferences();
    menuActions.captureFullScreen();
    settle();
    EXPECT_EQ(settingsShows, 2);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(toast->shown.isEmpty());
    EXPECT_EQ(capture->captureCalls.size(), 1);
}

}  // namespace

class AppDelegateIdleTest : public AppDelegateTest {
protected:
    void SetUp() override {
        idleDelay = std::chrono::milliseconds(40);
        AppDelegateTest::SetUp();
    }
    bool released() const { return capture->calls.contains("release") || overlay->releases; }
};

TEST_F(AppDelegateIdleTest, QuietSpellGivesMemoryBackOnceButNeverUnderAnOpenOverlay) {
    launch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return released(); }, 5000));
    EXPECT_EQ(capture->calls.count("release"), 1);
    EXPECT_EQ(overlay->releases, 1);

    // A capture brings the memory back in use; while its overlay is up nothing is released.
    app->captureArea();
    settle();
    ASSERT_EQ(overlay->presented.size(), 1);
    QTest::qWait(300);
    EXPECT_EQ(overlay->releases, 1);
    EXPECT_EQ(capture->calls.count("release"), 1);

    // Once the overlay is gone, the next quiet spell releases again, and capturing still works.
    overlay->sessions = false;
    overlay->onCancel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->releases == 2; }, 5000));
    EXPECT_EQ(capture->calls.count("release"), 2);
    app->captureArea();
    settle();
    EXPECT_EQ(overlay->presented.size(), 2);
}
