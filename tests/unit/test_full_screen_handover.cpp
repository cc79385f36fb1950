#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "Capture/GlobalSpace.h"
#include "Overlay/FullScreenHandover.h"

namespace {

using namespace std::chrono_literals;

// A display as the capture service would describe it: the offscreen one, or one Qt has not.
DisplayCapture displayCapture(quint32 id, QRect geometry, QColor colour) {
    QImage image(geometry.size(), QImage::Format_RGB32);
    image.fill(colour);
    const QRectF primary = GlobalSpace::primaryGeometry();
    return {ScreenDescriptor{id, GlobalSpace::fromQt(QRectF(geometry), primary), 1}, image};
}

QRect offscreenGeometry() {
    return QGuiApplication::primaryScreen()->geometry();
}

// What `copy` saw: the display, and whether a window of the handover was still up and had the
// keyboard then.
struct Copied {
    quint32 id;
    bool windowShown;
    bool withKeyboard;
};

class FullScreenHandoverTest : public ::testing::Test {
protected:
    FullScreenHandover handover{{.pointerGrace = 30ms, .keyboardTimeout = 400ms}};
    QList<Copied> copies;

    void present(const QList<DisplayCapture>& captures) { present(handover, captures); }
    void present(FullScreenHandover& h, const QList<DisplayCapture>& captures) {
        h.present(captures, [this, &h](const DisplayCapture& c) {
            QWindow* focus = QGuiApplication::focusWindow();
            copies << Copied{c.screen.displayID, h.isShowing(),
                             focus && focus->isVisible() && focus->title() == "Tessik"};
        });
    }
    static QWindow* shownWindow() {
        for (QWindow* w : QGuiApplication::topLevelWindows())
            if (w->isVisible() && w->title() == "Tessik") return w;
        return nullptr;
    }
};

TEST_F(FullScreenHandoverTest, CopiesOnceWhileItsWindowHasTheKeyboardThenCloses) {
    // The second display has no Qt screen: nothing is shown for it.
    present({displayCapture(7, offscreenGeometry(), Qt::red),
             displayCapture(8, offscreenGeometry().translated(5000, 0), Qt::blue)});
    QWindow* window = shownWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->screen(), QGuiApplication::primaryScreen());
    window->requestActivate();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !copies.isEmpty(); }, 2000));
    EXPECT_EQ(copies.size(), 1);
    EXPECT_EQ(copies[0].id, 7u);
    EXPECT_TRUE(copies[0].windowShown);
    EXPECT_TRUE(copies[0].withKeyboard);
    EXPECT_FALSE(handover.isShowing());
    QTest::qWait(500);  // past the keyboard timeout: still one copy
    EXPECT_EQ(copies.size(), 1);
    EXPECT_EQ(shownWindow(), nullptr);
}

TEST_F(FullScreenHandoverTest, APointerThatNeverEntersDelaysTheCopyNoLongerThanTheTimeout) {
    FullScreenHandover slow({.pointerGrace = 60s, .keyboardTimeout = 300ms});
    const QPoint pointer = QCursor::pos();
    QCursor::setPos(offscreenGeometry().bottomRight() + QPoint(100, 100));
    present(slow, {displayCapture(7, offscreenGeometry(), Qt::red)});
    ASSERT_TRUE(slow.isShowing());
    QTest::qWait(150);
    EXPECT_TRUE(copies.isEmpty()) << "waiting for the pointer";
    ASSERT_TRUE(QTest::qWaitFor([this] { return !copies.isEmpty(); }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(copies.size(), 1);
    EXPECT_EQ(copies[0].id, 7u);
    EXPECT_FALSE(slow.isShowing());
    QCursor::setPos(pointer);
}

TEST_F(FullScreenHandoverTest, ANewRequestFinishesTheOneUnderWayAndNothingShownCopiesNothing) {
    present({displayCapture(7, offscreenGeometry(), Qt::red)});
    present({displayCapture(9, offscreenGeometry(), Qt::green)});
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(copies[0].id, 7u);
    ASSERT_TRUE(QTest::qWaitFor([this] { return copies.size() == 2; }, 3000));
    EXPECT_EQ(copies[1].id, 9u);

    present({displayCapture(10, offscreenGeometry().translated(5000, 0), Qt::blue)});
    EXPECT_FALSE(handover.isShowing());
    QTest::qWait(100);
    EXPECT_EQ(copies.size(), 2);
}

}  // namespace
