#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <QBackingStore>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include "Annotation/AnnotationToolbar.h"
#include "Capture/GlobalSpace.h"
#include "Overlay/OverlayWindow.h"
#include "Overlay/OverlayWindowController.h"
#include "Overlay/SelectionView.h"
#include "support/ViewDriver.h"

namespace {

// The one offscreen display, as the capture service would describe it.
DisplayCapture displayCapture() {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRectF geometry(screen->geometry());
    QImage image(geometry.size().toSize(), QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return {ScreenDescriptor{1, GlobalSpace::fromQt(geometry, geometry), 1}, image};
}

// The controller over the offscreen display, recording what it reports.
class OverlayControllerTest : public ::testing::Test {
protected:
    OverlayWindowController controller;
    QList<QPair<OverlayResult, ExportAction>> completed;
    int cancelled = 0;

    void SetUp() override {
        controller.onComplete = [this](const OverlayResult& r, ExportAction a) {
            // The overlays are gone before the result is reported.
            EXPECT_FALSE(controller.hasSessions());
            completed << qMakePair(r, a);
        };
        controller.onCancel = [this] {
            EXPECT_FALSE(controller.hasSessions());
            ++cancelled;
        };
        controller.present({displayCapture()}, ExportAction::save);
        ASSERT_TRUE(controller.hasSessions());
    }
    void TearDown() override { controller.dismiss(); }

    SelectionView& view() { return *controller.sessions().first().view; }
    // Keys go through the application like real ones, so the key filter sees them first.
    void key(int k, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(&view(), Qt::Key(k), mods);
        QCoreApplication::processEvents();
    }
    void select() { ViewDriver(view()).dragPath({100, 100}, {{300, 250}}); }
};

TEST_F(OverlayControllerTest, WithoutSelectionOnlyEscapeDoesSomething) {
    key(Qt::Key_Return);
    key(Qt::Key_C, Qt::ControlModifier);
    key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(controller.hasSessions());
    EXPECT_TRUE(completed.isEmpty());
    key(Qt::Key_Escape);
    EXPECT_FALSE(controller.hasSessions());
    EXPECT_EQ(cancelled, 1);
    EXPECT_TRUE(completed.isEmpty());
}

TEST_F(OverlayControllerTest, ReturnCompletesWithTheDefaultActionAndTheSelection) {
    select();
    key(Qt::Key_Enter, Qt::KeypadModifier);  // the keypad's Enter is not Return
    EXPECT_TRUE(controller.hasSessions());
    key(Qt::Key_Return);
    ASSERT_EQ(completed.size(), 1);
    EXPECT_EQ(completed[0].second, ExportAction::save);
    EXPECT_EQ(completed[0].first.selection, Rect(100, 100, 200, 150));
    EXPECT_EQ(completed[0].first.capture.screen.displayID, 1u);
    EXPECT_EQ(cancelled, 0);
}

TEST_F(OverlayControllerTest, ShiftedCommandKeysCountAndASecondPresentChangesNothing) {
    controller.present({displayCapture(), displayCapture()}, ExportAction::copy);
    EXPECT_EQ(controller.sessions().size(), 1);
    EXPECT_EQ(controller.defaultAction(), ExportAction::save);
    select();
    key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(completed.size(), 1);
    EXPECT_EQ(completed[0].second, ExportAction::copy);
}

TEST_F(OverlayControllerTest, AnOpenTextFieldKeepsEscapeAndReturn) {
    select();
    ViewDriver driver(view());
    // Text mode, chosen as the tool bar would, then a click inside the selection opens the field.
    view().toolbar()->callbacks.selectMode(AnnotationMode::annotate(Annotation::Kind::text));
    driver.click({150, 200});
    ASSERT_TRUE(view().isEditingText());
    QTest::keyClicks(view().textField(), "abc");
    QTest::keyClick(view().textField(), Qt::Key_Escape);
    EXPECT_TRUE(controller.hasSessions());
    EXPECT_EQ(cancelled, 0);
    driver.click({150, 200});
    ASSERT_TRUE(view().isEditingText());
    QTest::keyClicks(view().textField(), "abc");
    QTest::keyClick(view().textField(), Qt::Key_Return);
    EXPECT_TRUE(controller.hasSessions());
    EXPECT_TRUE(completed.isEmpty());
    key(Qt::Key_Return);
    ASSERT_EQ(completed.size(), 1);
    ASSERT_EQ(completed[0].first.annotations.size(), 1);
    EXPECT_EQ(completed[0].first.annotations[0].text, "abc");
}

}  // namespace

TEST_F(OverlayControllerTest, ReleasingMemoryGivesBackOnlyIdleBackingStoresAndKeepsTheWindows) {
    QPointer<OverlayWindow> window = controller.sessions().first().window;
    const auto storePixels = [&] {
        const QSize size = window->backingStore()->size();
        return qint64(size.width()) * size.height();
    };
    // The store is sized to the window when it is painted.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->repaint();
    const qint64 full = storePixels();
    ASSERT_GE(full, qint64(window->width()) * window->height());
    controller.releaseMemory();  // the overlay is up: its store must stay
    ASSERT_TRUE(controller.hasSessions());
    EXPECT_EQ(storePixels(), full);
    key(Qt::Key_Escape);
    ASSERT_FALSE(controller.hasSessions());

    controller.releaseMemory();
    ASSERT_TRUE(window);  // making a window again costs more than its store
    EXPECT_LE(storePixels(), 1);
    // The next capture shows the same window and works as before.
    controller.present({displayCapture()}, ExportAction::copy);
    ASSERT_TRUE(controller.hasSessions());
    EXPECT_EQ(controller.sessions().first().window, window.data());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->repaint();
    EXPECT_EQ(storePixels(), full);
    select();
    key(Qt::Key_Return);
    ASSERT_EQ(completed.size(), 1);
    EXPECT_EQ(completed[0].second, ExportAction::copy);
}

TEST(OverlayFirstFrame, ComesOnlyForStoresGivenBackAndIsTheViewDrawnWhole) {
    // A capture whose every row differs, on the offscreen display.
    DisplayCapture capture = displayCapture();
    for (int y = 0; y < capture.image.height(); ++y)
        for (int x = 0; x < capture.image.width(); ++x)
            capture.image.setPixel(x, y, qRgb(x & 255, y & 255, (x ^ y) & 255));
    QImage shown(capture.image.size(), QImage::Format_RGB32);
    shown.fill(Qt::magenta);
    QList<QPair<int, int>> bands;  // top, rows
    OverlayWindowController* controllerShowing = nullptr;
    bool storeMadeBeforeAFrame = false;
    OverlayWindowController::Platform platform{};
    platform.showFirstFrame = [&](WId window, const QImage& rows, int top) {
        EXPECT_NE(window, WId(0));
        bands.append({top, rows.height()});
        for (const auto& s : controllerShowing->sessions())
            storeMadeBeforeAFrame |= s.window->hasBackingStoreAtSize();
        for (int y = 0; y < rows.height() && top + y < shown.height(); ++y)
            std::memcpy(shown.scanLine(top + y), rows.constScanLine(y),
                        std::size_t(std::min(rows.bytesPerLine(), shown.bytesPerLine())));
        return true;
    };
    OverlayWindowController controller(platform);
    controllerShowing = &controller;
    controller.prewarm();  // stores at size: Qt's own paint is quick enough
    controller.present({capture}, ExportAction::copy);
    EXPECT_TRUE(bands.isEmpty());
    controller.dismiss();

    controller.releaseMemory();
    controller.present({capture}, ExportAction::copy);
    ASSERT_TRUE(controller.hasSessions());
    const OverlayWindowController::Session& session = controller.sessions().first();
    // Bands of about 1 MiB at most, from the top down, each row once.
    ASSERT_GE(bands.size(), 2);
    int next = 0;
    for (const auto& [top, rows] : bands) {
        EXPECT_EQ(top, next);
        EXPECT_LE(qsizetype(rows) * capture.image.width() * 4, 1 << 20);
        next = top + rows;
    }
    EXPECT_EQ(next, capture.image.height());
    // What Qt's first paint will show: the view drawn in one piece.
    QImage whole(capture.image.size(), QImage::Format_RGB32);
    session.view->render(&whole);
    EXPECT_EQ(shown, whole);
    // The store is ready for that paint, and was made only once the frame had gone: making it
    // has the server allocate, which would hold the frame up.
    EXPECT_TRUE(session.window->hasBackingStoreAtSize());
    EXPECT_FALSE(storeMadeBeforeAFrame);
    controller.dismiss();
}
