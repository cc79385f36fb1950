#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "Design/TessikColor.h"
#include "UI/ToastLayout.h"
#include "UI/ToastPresenter.h"
#include "support/ImageProbe.h"

TEST(ToastLayout, CentresThePanelAndLiftsIt120PointsAboveTheDisplayBottom) {
    struct Case {
        double labelWidth;
        Rect display;
        Rect expected;
    } cases[] = {
        {100, Rect(0, 0, 1440, 900), Rect(652, 120, 136, 38)},
        {100, Rect(1440, 0, 1920, 1080), Rect(2332, 120, 136, 38)},
        {64, Rect(-1440, 180, 1440, 900), Rect(-770, 300, 100, 38)},
        {100, Rect(), Rect(-68, 120, 136, 38)},  // no display at all: the origin
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToastLayout::panelFrame(QSizeF(c.labelWidth, 15), c.display), c.expected)
            << c.display.origin.x << "," << c.display.origin.y;
}

TEST(ToastLayout, LabelIsTwelvePointMediumAndWiderForLongerText) {
    const QFont font = ToastLayout::labelFont();
    EXPECT_EQ(font.pixelSize(), 12);
    EXPECT_EQ(font.weight(), QFont::Medium);
    const QSizeF saved = ToastLayout::labelSize("Enregistré");
    const QSizeF copied = ToastLayout::labelSize("Copié dans le presse-papiers");
    EXPECT_GT(saved.width(), 20);
    EXPECT_GT(copied.width(), saved.width());
    EXPECT_LT(saved.height(), ToastLayout::height);
}

TEST(ToastPresenter, PlacesOneReusedPanelOnTheGivenDisplay) {
    const QRect primary = QGuiApplication::primaryScreen()->geometry();
    ToastPresenter toast;
    // A display to the right of the primary one, in global space (y up).
    const ScreenDescriptor right{7, Rect(primary.width(), 0, 1920, 1080), 1};
    toast.show("Enregistré", right);
    ToastPanel* panel = toast.panel();
    ASSERT_NE(panel, nullptr);
    const int width = int(ToastLayout::labelSize("Enregistré").width()) + 36;
    EXPECT_EQ(panel->geometry(), QRect(primary.x() + primary.width() + 960 - width / 2,
                                       primary.y() + primary.height() - 158, width, 38));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->message(), "Enregistré");

    toast.show("Copié dans le presse-papiers", std::nullopt);  // the main display
    EXPECT_EQ(toast.panel(), panel);
    EXPECT_EQ(panel->message(), "Copié dans le presse-papiers");
    EXPECT_EQ(panel->geometry().center().x(), primary.center().x());
    EXPECT_EQ(panel->geometry().bottom() + 1, primary.bottom() + 1 - 120);
}

TEST(ToastPresenter, NeverTakesFocusAndLetsClicksThrough) {
    ToastPresenter toast;
    toast.show("Enregistré", std::nullopt);
    const Qt::WindowFlags flags = toast.panel()->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::BypassWindowManagerHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(toast.panel()->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(toast.panel()->isActiveWindow());
    EXPECT_EQ(QApplication::activeWindow(), nullptr);
}

TEST(ToastPresenter, DrawsAnInkCapsuleWithCreamTextAndNoCorners) {
    ToastPresenter toast;
    toast.show("Enregistré", std::nullopt);
    const QImage image = ImageProbe::render(*toast.panel());
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1).alpha(), 0);
    const QColor middle = image.pixelColor(8, 19);  // inside the capsule, left of the text
    EXPECT_NEAR(middle.alphaF(), 0.92, 0.01);
    EXPECT_EQ(middle.red(), TessikColor::ink().red());
    const int creamish = ImageProbe::count(image, QRect(18, 0, image.width() - 36, 38),
                                           [](const QColor& c) { return c.red() > 200; });
    EXPECT_GT(creamish, 20);
    // The mask cuts the corners off the window itself.
    EXPECT_FALSE(toast.panel()->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(toast.panel()->mask().contains(QPoint(18, 19)));
}

TEST(ToastPresenter, ANewerToastRestartsTheTimeAndCancelsAFadeOut) {
    ToastPresenter toast;
    toast.show("Enregistré", std::nullopt);
    EXPECT_TRUE(toast.isDismissPending());
    EXPECT_GT(toast.dismissRemainingMs(), ToastPresenter::visibleMs - 100);
    QTest::qWait(400);
    EXPECT_LT(toast.dismissRemainingMs(), ToastPresenter::visibleMs - 300);

    toast.show("Copié dans le presse-papiers", std::nullopt);
    EXPECT_GT(toast.dismissRemainingMs(), ToastPresenter::visibleMs - 100);

    // Once the time is up the panel fades out and is ordered out...
    ASSERT_TRUE(QTest::qWaitFor([&] { return toast.isFadingOut(); }, 3000));
    // ...unless a newer toast arrives during the fade-out.
    toast.show("Enregistré", std::nullopt);
    EXPECT_FALSE(toast.isFadingOut());
    QTest::qWait(ToastPresenter::fadeOutMs + 100);
    EXPECT_TRUE(toast.panel()->isVisible());
    EXPECT_TRUE(toast.isDismissPending());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !toast.panel()->isVisible(); }, 3000));
    EXPECT_FALSE(toast.isDismissPending());
}
