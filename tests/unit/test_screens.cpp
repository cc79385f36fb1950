#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "Base/DefaultsStore.h"
#include "Capture/CaptureError.h"
#include "Capture/GlobalSpace.h"
#include "Capture/ScreenDescriptor.h"
#include "Platform/DesktopPermissionService.h"

#include <QCoreApplication>
#include <QTest>


namespace {
// Two stacked displays: LOWER (primary) and UPPER above it, plus a display without an id.
const ScreenDescriptor lower{1, Rect(0, 0, 1920, 1080), 1};
const ScreenDescriptor upper{2, Rect(0, 1080, 1440, 900), 2};
const QList<ScreenDescriptor::Entry> entries{
    {lower.frame, lower}, {upper.frame, upper}, {Rect(1920, 0, 800, 600), std::nullopt}};
}  // namespace

TEST(ScreenDescriptor, UnderFindsTheDisplayWithHalfOpenFramesAndFallsBackToMain) {
    struct Case {
        Point pointer;
        std::optional<ScreenDescriptor> expected;
    };
    const Case cases[] = {
        {{100, 100}, lower},
        {{100, 1080}, upper},               // on the shared edge: the upper display
        {{100, 1079.5}, lower},
        {{2000, 10}, std::nullopt},         // a screen without an id has no descriptor
        {{-500, -500}, lower},              // outside every frame: the main display
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScreenDescriptor::under(c.pointer, entries, 0), c.expected)
            << c.pointer.x << "," << c.pointer.y;
    EXPECT_EQ(ScreenDescriptor::under({-5, -5}, entries, std::nullopt), std::nullopt);
    EXPECT_EQ(ScreenDescriptor::under({-5, -5}, {}, 0), std::nullopt);
}

TEST(GlobalSpace, FlipsAroundThePrimaryDisplayAndBack) {
    // Primary RIGHT at Qt (1440,0) 1920x1080; LEFT at Qt (0,0) 1440x900.
    const QRectF primary(1440, 0, 1920, 1080);
    EXPECT_EQ(GlobalSpace::fromQt(QRectF(1440, 0, 1920, 1080), primary), Rect(0, 0, 1920, 1080));
    EXPECT_EQ(GlobalSpace::fromQt(QRectF(0, 0, 1440, 900), primary), Rect(-1440, 180, 1440, 900));
    EXPECT_EQ(GlobalSpace::fromQt(QPointF(1440, 1080), primary), (Point{0, 0}));
    const Rect r(-100, 30, 50, 20);
    EXPECT_EQ(GlobalSpace::toQt(r, primary), QRectF(1340, 1030, 50, 20));
    EXPECT_EQ(GlobalSpace::fromQt(GlobalSpace::toQt(r, primary), primary), r);
}

TEST(CaptureError, ClassifiesRefusalsAndDescribesItself) {
    using SE = CaptureError::SystemError;
    const QString domain = CaptureError::permissionDomain;
    EXPECT_EQ(CaptureError::from(SE{domain, -3801, "x"}), CaptureError::permissionDenied());
    EXPECT_EQ(CaptureError::from(SE{domain, -3803, "x"}), CaptureError::permissionDenied());
    EXPECT_EQ(CaptureError::from(SE{domain, -3802, "boom"}), CaptureError::captureFailed("boom"));
    EXPECT_EQ(CaptureError::from(SE{"X11", -3801, "BadMatch"}),
              CaptureError::captureFailed("BadMatch"));
    EXPECT_EQ(CaptureError::captureFailed("x").description(),
              QString::fromUtf8("La capture a échoué : x"));
    EXPECT_EQ(CaptureError::permissionDenied().description(),
              QString::fromUtf8("Tessik n'a pas l'autorisation d'enregistrer l'écran."));
    EXPECT_EQ(CaptureError::displayUnavailable().description(),
              QString::fromUtf8("L'écran à capturer n'est plus disponible."));
}

TEST(DefaultsStore, WrongTypesAndGarbageReadAsAbsent) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Tessik.conf");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[General]\ndefaultAction=@ByteArray(\\0\\x1)\nsaveDirectory=2, 3\n"
                "flag=maybe\n\x01\x02garbage line without equals\nname=Tessik\n");
    }
    DefaultsStore store(path);
    EXPECT_EQ(store.string("defaultAction"), std::nullopt);
    EXPECT_EQ(store.string("saveDirectory"), std::nullopt);  // a list, not a string
    EXPECT_EQ(store.boolean("flag"), std::nullopt);
    EXPECT_EQ(store.data("name"), std::nullopt);
    EXPECT_EQ(store.string("name"), "Tessik");
    EXPECT_EQ(store.string("missing"), std::nullopt);

    store.setBoolean("b", false);
    store.setData("d", QByteArray("\x00\xff", 2));
    store.sync();
    DefaultsStore again(path);
    EXPECT_EQ(again.boolean("b"), false);
    EXPECT_EQ(again.data("d"), QByteArray("\x00\xff", 2));
}

TEST(DesktopPermissionService, RelaunchQuitsWhateverTheStartGives) {
    for (bool started : {true, false}) {
        QStringList programs;
        bool quit = false;
        DesktopPermissionService service(
            [&](const QString& program, const QStringList&) {
                programs << program;
                return started;
            },
            [&] { quit = true; });
        EXPECT_TRUE(service.hasAccess());
        EXPECT_TRUE(service.requestAccess());
        service.relaunch();
        EXPECT_EQ(programs, QStringList{QCoreApplication::applicationFilePath()});
        // The quit is queued to the main loop, never run inside relaunch().
        EXPECT_FALSE(quit);
        EXPECT_TRUE(QTest::qWaitFor([&] { return quit; }, 2000));
    }
}
