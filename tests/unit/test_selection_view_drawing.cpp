#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include "Annotation/AnnotationToolbar.h"
#include "Design/TessikColor.h"
#include "Overlay/SelectionView.h"
#include "support/ImageProbe.h"
#include "support/ViewDriver.h"

namespace {

using Kind = Annotation::Kind;
const QColor kClear(200, 200, 200);
const QColor kDimmed(120, 120, 120);  // 200 x (1 - 0.4)

// A view over a uniform grey capture that paints the capture itself, so its pixels can be
// probed as the user sees them.
struct Scene {
    explicit Scene(Size size = {400, 300}, double scale = 1)
        : view(Rect(0, 0, size.width, size.height), capture(size, scale), scale), driver(view) {
        view.setPaintsFrozenImage(true);
    }
    static QImage capture(Size size, double scale) {
        QImage img(int(size.width * scale), int(size.height * scale), QImage::Format_RGB32);
        img.fill(kClear);
        return img;
    }
    void select(Rect r) { driver.dragPath(r.origin, {{r.maxX(), r.maxY()}}); }
    void chooseMode(AnnotationMode m) { view.toolbar()->callbacks.selectMode(m); }
    void paint() { image = ImageProbe::render(view); }
    // The pixel covering [x, x+1) x [y, y+1) of view space (y up).
    QColor at(int x, int y) const { return image.pixelColor(x, image.height() - 1 - y); }

    SelectionView view;
    ViewDriver driver;
    QImage image;
};

bool isCream(const QColor& c) {
    return ImageProbe::near(c, TessikColor::cream(), 4);
}
bool isAccent(const QColor& c) {
    return ImageProbe::near(c, cgColor(AnnotationColor::accent), 4);
}

TEST(SelectionViewDrawing, NoSelectionDimsEverythingAndShowsTheCrosshair) {
    Scene s;
    s.driver.hover({100, 200});
    s.paint();
    // Cream at 0.35 over the dimmed capture, one point wide, on both lines.
    const QColor line(163, 162, 161);
    EXPECT_TRUE(ImageProbe::near(s.at(100, 20), line, 2)) << s.at(100, 20).name().toStdString();
    EXPECT_TRUE(ImageProbe::near(s.at(350, 200), line, 2));
    for (const auto& [x, y] : {std::pair{0, 0}, {101, 20}, {99, 20}, {350, 201}, {399, 299}})
        EXPECT_TRUE(ImageProbe::near(s.at(x, y), kDimmed, 1)) << x << "," << y;
}

TEST(SelectionViewDrawing, SelectionIsClearInsideWithAFrameOverAHalo) {
    Scene s;
    s.select(Rect(100, 80, 200, 160));
    s.driver.hover({20, 20});
    s.paint();
    EXPECT_TRUE(ImageProbe::near(s.at(200, 160), kClear, 1));
    EXPECT_TRUE(ImageProbe::near(s.at(50, 280), kDimmed, 1));  // (the bar is below)
    // Left edge, away from handles and brackets: cream just inside, ink halo just outside.
    const QColor halo(75, 75, 75);  // ink at 0.45 over the dimmed capture
    EXPECT_TRUE(isCream(s.at(100, 120)));
    EXPECT_TRUE(ImageProbe::near(s.at(99, 120), halo, 2)) << s.at(99, 120).name().toStdString();
    EXPECT_TRUE(ImageProbe::near(s.at(98, 120), halo, 2));
    EXPECT_TRUE(ImageProbe::near(s.at(96, 120), kDimmed, 1));
    EXPECT_TRUE(ImageProbe::near(s.at(102, 120), kClear, 1));
    // Top edge likewise (y up: the cream line is the row just below maxY).
    EXPECT_TRUE(isCream(s.at(200 - 30, 239)));
    EXPECT_TRUE(ImageProbe::near(s.at(170, 240), halo, 2));
}

TEST(SelectionViewDrawing, BracketArmsScaleWithTheSelection) {
    // Measured in arrow mode (no handles): the cream run along the row 3 points under the top
    // edge spans the arm, its square cap and the vertical arm's width: e + 3.
    const std::pair<Size, int> cases[] = {{{30, 12}, 4}, {{30, 30}, 10}, {{60, 60}, 14}};
    for (const auto& [size, arm] : cases) {
        Scene s;
        const Rect r(100, 100, size.width, size.height);
        s.select(r);
        s.chooseMode(AnnotationMode::annotate(Kind::arrow));
        s.driver.hover({300, 250});
        s.paint();
        const int row = int(r.maxY()) - 3;
        int run = 0;
        while (isCream(s.at(100 + run, row))) ++run;
        EXPECT_EQ(run, arm + 3) << size.width << "x" << size.height;
    }
}

TEST(SelectionViewDrawing, TinySelectionHasNoBrackets) {
    Scene s;
    s.select(Rect(100, 100, 40, 40));
    s.driver.dragPath({140, 100}, {{103, 137}});  // bottomRight: now 3 x 3 at (100, 137)
    ASSERT_EQ(s.view.selection(), Rect(100, 137, 3, 3));
    s.driver.hover({300, 250});
    s.paint();
    // The frame's one-point lines leave the middle pixel clear; a bracket would cover it.
    EXPECT_TRUE(ImageProbe::near(s.at(101, 138), kClear, 1)) << s.at(101, 138).name().toStdString();
}

TEST(SelectionViewDrawing, HandlesOnlyInSelectModeAndAboveTwentyFourPoints) {
    struct Case {
        Size size;
        AnnotationMode mode;
        bool handles;
    };
    const Case cases[] = {
        {{30, 30}, AnnotationMode::select(), true},
        {{30, 12}, AnnotationMode::select(), false},
        {{24, 30}, AnnotationMode::select(), false},
        {{30, 30}, AnnotationMode::annotate(Kind::rectangle), false},
    };
    for (const Case& c : cases) {
        Scene s;
        const Rect r(100, 100, c.size.width, c.size.height);
        s.select(r);
        s.chooseMode(c.mode);
        s.driver.hover({300, 250});
        s.paint();
        const int x = int(r.midX()), top = int(r.maxY());
        // 8 x 8 square centred on the top handle: interior cream, border ink at 0.6, then out.
        EXPECT_EQ(isCream(s.at(x, top + 2)), c.handles) << c.size.width << "x" << c.size.height;
        if (c.handles) {
            EXPECT_TRUE(ImageProbe::near(s.at(x, top + 3), QColor(110, 109, 107), 3));
            EXPECT_TRUE(ImageProbe::near(s.at(x, top + 4), kDimmed, 1));
            EXPECT_TRUE(isCream(s.at(int(r.maxX()) + 2, int(r.midY()))));  // right handle
        }
    }
}

TEST(SelectionViewDrawing, BadgeShowsCapturePixels) {
    const std::tuple<Size, double, Rect, QString> cases[] = {
        {{400, 300}, 2, Rect(50, 50, 300, 150), QString::fromUtf8("600 × 300")},
        {{400, 300}, 2, Rect(50, 50, 100.25, 50), QString::fromUtf8("201 × 100")},
        {{400, 300}, 1.5, Rect(10, 10, 101, 33), QString::fromUtf8("152 × 50")},
    };
    for (const auto& [size, scale, sel, text] : cases) {
        Scene s(size, scale);
        s.select(sel);
        EXPECT_EQ(s.view.badgeText(), text);
    }
}

TEST(SelectionViewDrawing, BadgeSitsBesideThePointerAndFlipsNearEdges) {
    Scene s;
    s.select(Rect(50, 50, 300, 200));
    s.driver.hover({200, 100});
    Rect badge = s.view.badgeFrame();
    EXPECT_EQ(badge.origin, (Point{214, 114}));

    // 10 points from the right edge: to the left of the pointer.
    s.driver.hover({390, 100});
    badge = s.view.badgeFrame();
    EXPECT_DOUBLE_EQ(badge.maxX(), 390 - 14);
    EXPECT_DOUBLE_EQ(badge.minY(), 114);
    s.paint();
    const QColor inside = s.at(int(badge.minX()) + 2, int(badge.midY()));
    EXPECT_LT(inside.red(), 50) << inside.name().toStdString();  // ink at 0.92
    EXPECT_TRUE(ImageProbe::near(s.at(395, 120), kDimmed, 1));   // nothing right of the pointer
    const int textPixels = ImageProbe::count(s.image, s.view.widgetRect(badge.insetBy(6, 3)),
                                             [](const QColor& c) { return c.red() > 150; });
    EXPECT_GT(textPixels, 20);

    // Near the top as well: below and to the left; clamped at the bottom-left corner.
    s.driver.hover({390, 295});
    EXPECT_DOUBLE_EQ(s.view.badgeFrame().maxY(), 295 - 14);
    s.driver.hover({1, 1});
    EXPECT_EQ(s.view.badgeFrame().origin, (Point{15, 15}));
    s.driver.hover({-500, -500});
    EXPECT_EQ(s.view.badgeFrame().origin, (Point{4, 4}));
}

TEST(SelectionViewDrawing, AnnotationsShowOnlyInsideTheSelection) {
    Scene s;
    s.select(Rect(100, 100, 200, 100));
    s.view.toolbar()->callbacks.selectThickness(Thickness::thick);
    s.chooseMode(AnnotationMode::annotate(Kind::freehand));
    s.driver.dragPath({290, 120}, {{350, 130}, {360, 170}, {295, 180}});
    ASSERT_EQ(s.view.annotations().items.size(), 1);
    s.driver.hover({20, 20});
    s.paint();
    // The stroke runs along the right edge (clamped to x = 300), 7 wide: its outer half is cut.
    EXPECT_TRUE(isAccent(s.at(298, 150)));
    for (int x = 300; x < 306; ++x) EXPECT_FALSE(isAccent(s.at(x, 150))) << x;
    EXPECT_TRUE(ImageProbe::near(s.at(304, 150), kDimmed, 1));
}

TEST(SelectionViewDrawing, TypedTextDoesNotMoveWhenCommitted) {
    for (Thickness t : allThicknesses()) {
        Scene s(Size{500, 400});
        s.select(Rect(50, 50, 400, 300));
        s.view.toolbar()->callbacks.selectThickness(t);
        s.chooseMode(AnnotationMode::annotate(Kind::text));
        s.driver.click({100, 300});
        ASSERT_TRUE(s.view.isEditingText());
        s.view.textField()->insert("Bonjour");
        // Ink of the text, near its anchor (widget space; the bar is far below).
        const auto inkBox = [&] {
            s.paint();
            QRect box;
            for (int y = 90; y < 160; ++y)
                for (int x = 90; x < 300; ++x)
                    if (isAccent(s.image.pixelColor(x, y)) ||
                        (s.image.pixelColor(x, y).red() > 150 &&
                         s.image.pixelColor(x, y).green() < 130))
                        box |= QRect(x, y, 1, 1);
            return box;
        };
        const QRect typed = inkBox();
        s.view.requestCompletion(ExportAction::copy);  // commits
        ASSERT_EQ(s.view.annotations().items.size(), 1);
        const QRect committed = inkBox();
        EXPECT_FALSE(typed.isEmpty());
        EXPECT_EQ(typed, committed) << rawValue(t).toStdString();
    }
}

TEST(SelectionViewInvalidation, PointerMoveWithoutSelectionMarksTwoStrips) {
    Scene s;
    s.driver.hover({100, 100});
    s.driver.hover({300, 250});
    const QRegion& marked = s.view.lastInvalidation();
    // Old and new crosshair strips, 4 points wide plus 2 on each side (widget space, y down).
    for (const QRect& strip : {QRect(96, 0, 8, 300), QRect(296, 0, 8, 300),
                               QRect(0, 300 - 104, 400, 8), QRect(0, 300 - 254, 400, 8)})
        EXPECT_EQ(marked.intersected(strip), QRegion(strip));
    EXPECT_FALSE(marked.contains(QPoint(200, 20)));
    EXPECT_FALSE(marked.contains(QPoint(50, 150)));
    EXPECT_LT(marked.rectCount(), 20);
    // The footprint itself is their union: the whole view.
    EXPECT_EQ(s.view.lastFootprint(), Rect(0, 0, 400, 300));
}

TEST(SelectionViewInvalidation, PointerMoveWithSelectionMarksOnlyTheBadges) {
    Scene s;
    s.select(Rect(100, 80, 150, 100));
    s.driver.hover({20, 20});
    const Rect oldBadge = s.view.badgeFrame();
    s.driver.hover({350, 250});
    const Rect newBadge = s.view.badgeFrame();
    // The footprint is the selection outset by 10 and the badge ...
    EXPECT_EQ(s.view.lastFootprint(),
              Rect(100, 80, 150, 100).insetBy(-10, -10).unionWith(newBadge));
    // ... but with the selection, its annotations and the mode unchanged only the old and the
    // new badge (outset by 2) show different pixels.
    const QRegion expected = QRegion(s.view.widgetRect(oldBadge.insetBy(-2, -2))) +
                             s.view.widgetRect(newBadge.insetBy(-2, -2));
    EXPECT_EQ(s.view.lastInvalidation(), expected);
    // A change of what the selection shows marks the selection's piece again, old and new.
    s.chooseMode(AnnotationMode::annotate(Kind::arrow));
    EXPECT_TRUE(s.view.lastInvalidation().contains(
        s.view.widgetRect(Rect(100, 80, 150, 100).insetBy(-12, -12))));
    s.driver.dragPath({150, 100}, {{240, 170}});
    EXPECT_TRUE(s.view.lastInvalidation().contains(
        s.view.widgetRect(Rect(100, 80, 150, 100).insetBy(-12, -12))));
}

TEST(SelectionViewInvalidation, MovingTheSelectionMarksOldAndNewPlaces) {
    Scene s;
    s.select(Rect(100, 80, 100, 60));
    s.driver.press({150, 110});
    s.driver.drag({250, 170});
    const QRegion& marked = s.view.lastInvalidation();
    EXPECT_TRUE(marked.contains(s.view.widgetRect(Rect(100, 80, 100, 60).insetBy(-12, -12))));
    EXPECT_TRUE(marked.contains(s.view.widgetRect(Rect(200, 140, 100, 60).insetBy(-12, -12))));
}

// Repainting only what the view marks, through Qt's own backing store, ends with the same
// pixels as a full repaint: a region left out would show stale drawing.
TEST(SelectionViewInvalidation, MarkedRegionRepaintMatchesAFullRepaint) {
    QImage capture(800, 600, QImage::Format_RGB32);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) capture.setPixel(x, y, qRgb(x % 251, y % 241, (x * y) % 239));
    SelectionView view(Rect(0, 0, 400, 300), capture, 2);
    view.setPaintsFrozenImage(true);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ViewDriver d(view);
    const auto backingStore = [&] {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return view.screen()
            ->grabWindow(view.winId())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    const auto compare = [&](const char* when) {
        const QImage shown = backingStore();
        const QImage full = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), full.size());
        QRect differing;
        for (int y = 0; y < full.height(); ++y)
            for (int x = 0; x < full.width(); ++x)
                if (shown.pixel(x, y) != full.pixel(x, y)) differing |= QRect(x, y, 1, 1);
        EXPECT_TRUE(differing.isEmpty()) << when << ": " << differing.x() << "," << differing.y()
                                         << " " << differing.width() << "x" << differing.height();
    };
    const auto step = [&](auto&& event) {
        event();
        backingStore();
    };
    step([&] { d.hover({20, 20}); });
    step([&] { d.dragPath({60, 50}, {{340, 260}}); });
    step([&] { view.toolbar()->callbacks.selectMode(AnnotationMode::annotate(Kind::pixelate)); });
    step([&] { d.dragPath({80, 120}, {{200, 230}}); });
    step([&] { view.toolbar()->callbacks.selectMode(AnnotationMode::annotate(Kind::arrow)); });
    step([&] { d.dragPath({90, 200}, {{300, 100}}); });
    compare("after drawing");
    step([&] { d.hover({150, 150}); });
    step([&] { d.hover({180, 170}); });
    step([&] { d.press({100, 140}); });
    step([&] { d.drag({190, 210}); });
    step([&] { d.drag({170, 160}); });
    step([&] { d.release({170, 160}); });
    step([&] { d.hover({120, 160}); });
    EXPECT_EQ(view.annotations().items.size(), 3);
    compare("after annotating");
    // Moving and resizing the selection over its annotations.
    step([&] { view.toolbar()->callbacks.selectMode(AnnotationMode::select()); });
    step([&] { d.press({250, 200}); });
    step([&] { d.drag({263, 193}); });
    step([&] { d.drag({240, 185}); });
    step([&] { d.release({240, 185}); });
    ASSERT_EQ(view.selection(), Rect(50, 35, 280, 210));
    compare("after moving");
    step([&] { d.press({330, 140}); });
    step([&] { d.drag({361.5, 150}); });
    step([&] { d.drag({300.5, 120}); });
    step([&] { d.release({300.5, 120}); });
    ASSERT_EQ(view.selection(), Rect(50, 35, 250.5, 210));
    compare("after resizing");
    step([&] { view.undo(); });
    step([&] { d.hover({390, 290}); });
    compare("after undo");
}

TEST(SelectionViewInvalidation, DraftWidensTheFootprintByItsThickness) {
    const std::pair<Thickness, double> cases[] = {
        {Thickness::thin, 10}, {Thickness::medium, 20}, {Thickness::thick, 35}};
    for (const auto& [thickness, outset] : cases) {
        Scene s;
        s.select(Rect(100, 80, 150, 100));
        s.view.toolbar()->callbacks.selectThickness(thickness);
        s.chooseMode(AnnotationMode::annotate(Kind::arrow));
        s.driver.press({120, 100});
        s.driver.drag({240, 170});
        const QList<Rect> parts = s.view.footprintParts();
        ASSERT_EQ(parts.size(), 3);
        EXPECT_EQ(parts[2], Rect(120, 100, 120, 70).insetBy(-outset, -outset));
        EXPECT_EQ(s.view.lastFootprint(), parts[0].unionWith(parts[1]).unionWith(parts[2]));
    }
}

TEST(SelectionViewInvalidation, CancelledTextEntryRedrawsEverything) {
    Scene s;
    s.select(Rect(100, 80, 150, 100));
    s.chooseMode(AnnotationMode::annotate(Kind::text));
    s.driver.click({120, 150});
    ASSERT_TRUE(s.view.isEditingText());
    s.view.cancelOperation();
    EXPECT_EQ(s.view.lastInvalidation(), QRegion(s.view.rect()));
}

}  // namespace
