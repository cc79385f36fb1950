#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "Annotation/AnnotationToolbar.h"
#include "Overlay/SelectionView.h"
#include "support/ViewDriver.h"

namespace {

using Kind = Annotation::Kind;

// A view of an 800 x 600-point display that records what it reports.
struct Fixture {
    explicit Fixture(Rect frame = Rect(0, 0, 800, 600), double scale = 1)
        : view(frame, image(frame, scale), scale), driver(view) {
        view.callbacks.didBeginInteraction = [this] { events << "begin"; };
        view.callbacks.didChangeSelection = [this](std::optional<Rect> s) {
            changes.append(s);
            events << "change";
        };
        view.callbacks.didCancel = [this] { events << "cancel"; };
        view.callbacks.didRequestCompletion = [this](ExportAction a) {
            events << "complete " + rawValue(a);
        };
    }

    static QImage image(const Rect& frame, double scale) {
        QImage img(qMax(1, int(frame.width() * scale)), qMax(1, int(frame.height() * scale)),
                   QImage::Format_RGB32);
        img.fill(QColor(200, 200, 200));
        return img;
    }

    void select(Rect r) { driver.dragPath(r.origin, {{r.maxX(), r.maxY()}}); }
    void chooseMode(AnnotationMode m) { view.toolbar()->callbacks.selectMode(m); }

    SelectionView view;
    ViewDriver driver;
    QStringList events;
    QList<std::optional<Rect>> changes;
};

TEST(SelectionViewInteraction, StartsIdleInSelectModeWithTheDefaultStyle) {
    Fixture f;
    EXPECT_FALSE(f.view.hasSelection());
    EXPECT_TRUE(f.view.mode().isSelect());
    EXPECT_EQ(f.view.style(), (AnnotationStyle{AnnotationColor::accent, Thickness::medium}));
    EXPECT_EQ(f.view.defaultAction(), ExportAction::copy);
    EXPECT_FALSE(f.view.toolbar()->isVisibleTo(&f.view));
    EXPECT_EQ(f.view.size(), QSize(800, 600));
}

TEST(SelectionViewInteraction, ClickWithoutDragLeavesNoSelection) {
    Fixture f;
    f.driver.click({100, 100});
    EXPECT_FALSE(f.view.hasSelection());
    EXPECT_EQ(f.events, (QStringList{"begin", "change"}));
    EXPECT_EQ(f.changes, QList<std::optional<Rect>>{std::nullopt});
    EXPECT_TRUE(std::holds_alternative<SelectionView::Idle>(f.view.interaction()));
}

TEST(SelectionViewInteraction, NewSelectionsUnderFourPointsAreDropped) {
    const std::pair<Point, bool> cases[] = {
        {{300, 103}, false}, {{104, 104}, true}, {{103.9, 200}, false}, {{96, 96}, true}};
    for (const auto& [to, kept] : cases) {
        Fixture f;
        f.driver.press({100, 100});
        f.driver.drag(to);
        // While dragging, there is no minimum.
        EXPECT_EQ(f.view.selection(), Rect::spanning({100, 100}, to));
        f.driver.release(to);
        EXPECT_EQ(f.view.hasSelection(), kept) << to.x << "," << to.y;
        EXPECT_EQ(f.changes.last().has_value(), kept);
    }
}

TEST(SelectionViewInteraction, EveryDragReportsTheSelection) {
    Fixture f;
    f.driver.dragPath({300, 400}, {{200, 300}, {100, 250}});
    EXPECT_EQ(f.events, (QStringList{"begin", "change", "change", "change"}));
    EXPECT_EQ(f.changes[0], Rect(200, 300, 100, 100));
    EXPECT_EQ(f.changes[1], Rect(100, 250, 200, 150));
    EXPECT_EQ(f.changes[2], Rect(100, 250, 200, 150));
    // A drag with no press in progress changes and reports nothing.
    f.driver.drag({10, 10});
    EXPECT_EQ(f.changes.size(), 3);
}

TEST(SelectionViewInteraction, SelectionDrawnOrResizedPastTheViewStopsAtItsEdges) {
    // Dragged onto a neighbouring display: the selection, its badge and the copy all end at
    // this display's edge.
    Fixture f;
    f.select(Rect(700, 500, 300, 250));
    EXPECT_EQ(f.view.selection(), Rect(700, 500, 100, 100));
    EXPECT_EQ(f.view.badgeText(), QString::fromUtf8("100 × 100"));
    f.driver.dragPath({560, 200}, {{-300, -50}});
    EXPECT_EQ(f.view.selection(), Rect(0, 0, 560, 200));
    EXPECT_EQ(f.view.badgeText(), QString::fromUtf8("560 × 200"));
    // The left handle dragged past the left edge, then the top one past the top.
    f.driver.dragPath({400, 300}, {{600, 400}});
    f.driver.dragPath({400, 350}, {{-80, 360}});
    EXPECT_EQ(f.view.selection(), Rect(0, 300, 600, 100));
    f.driver.dragPath({300, 400}, {{320, 900}});
    EXPECT_EQ(f.view.selection(), Rect(0, 300, 600, 300));
}

TEST(SelectionViewInteraction, HandlesAreHitOnlyInSelectMode) {
    Fixture f;
    f.select(Rect(100, 100, 200, 100));
    f.driver.press({306, 150});
    ASSERT_TRUE(std::holds_alternative<SelectionView::ResizingSelection>(f.view.interaction()));
    EXPECT_EQ(std::get<SelectionView::ResizingSelection>(f.view.interaction()).handle,
              SelectionHandle::right);
    f.driver.drag({350, 170});
    f.driver.release({350, 170});
    EXPECT_EQ(f.view.selection(), Rect(100, 100, 250, 100));

    // In arrow mode the same kind of press starts afresh and drops every annotation.
    f.chooseMode(AnnotationMode::annotate(Kind::arrow));
    f.driver.dragPath({150, 120}, {{250, 180}});
    ASSERT_EQ(f.view.annotations().items.size(), 1);
    f.driver.press({356, 150});
    EXPECT_TRUE(std::holds_alternative<SelectionView::DrawingSelection>(f.view.interaction()));
    EXPECT_FALSE(f.view.hasSelection());
    EXPECT_TRUE(f.view.annotations().items.isEmpty());
    EXPECT_TRUE(f.view.mode().isSelect());
    EXPECT_FALSE(f.view.toolbar()->canUndo());
}

TEST(SelectionViewInteraction, ResizedSelectionKeepsNoMinimum) {
    Fixture f;
    f.select(Rect(100, 100, 200, 100));
    f.driver.dragPath({300, 100}, {{102, 199}});  // bottomRight dragged almost onto topLeft
    EXPECT_EQ(f.view.selection(), Rect(100, 199, 2, 1));
    f.driver.dragPath({101, 200}, {{101, 300}});  // then its topLeft (first in order) upwards
    EXPECT_EQ(f.view.selection(), Rect(101, 199, 1, 101));
}

TEST(SelectionViewInteraction, MovingFollowsThePointerAndStopsAtTheEdges) {
    Fixture f;
    f.select(Rect(100, 100, 200, 100));
    f.driver.press({150, 150});
    EXPECT_EQ(f.view.interaction(),
              SelectionView::Interaction(SelectionView::MovingSelection{{50, 50}}));
    f.driver.drag({200, 180});
    EXPECT_EQ(f.view.selection(), Rect(150, 130, 200, 100));
    f.driver.drag({-400, 2000});
    EXPECT_EQ(f.view.selection(), Rect(0, 500, 200, 100));
    f.driver.drag({1e12, -1e12});
    EXPECT_EQ(f.view.selection(), Rect(600, 0, 200, 100));
    f.driver.release({1e12, -1e12});
    EXPECT_EQ(f.view.selection(), Rect(600, 0, 200, 100));
}

TEST(SelectionViewInteraction, AnnotationPointsAreClampedIntoTheSelection) {
    Fixture f;
    f.select(Rect(100, 100, 200, 100));
    f.chooseMode(AnnotationMode::annotate(Kind::rectangle));
    f.driver.press({150, 150});
    f.driver.drag({500, -50});
    ASSERT_TRUE(f.view.draft().has_value());
    EXPECT_EQ(f.view.draft()->points, (QList<Point>{{150, 150}, {300, 100}}));
    f.driver.release({500, -50});
    EXPECT_FALSE(f.view.draft().has_value());
    ASSERT_EQ(f.view.annotations().items.size(), 1);
    const Annotation& a = f.view.annotations().items[0];
    EXPECT_EQ(a.kind, Kind::rectangle);
    EXPECT_EQ(a.points, (QList<Point>{{150, 150}, {300, 100}}));
    EXPECT_EQ(a.color, AnnotationColor::accent);
    EXPECT_EQ(a.thickness, Thickness::medium);
    // The selection stays put while annotating.
    EXPECT_EQ(f.view.selection(), Rect(100, 100, 200, 100));
}

TEST(SelectionViewInteraction, IncompleteDraftsAreDropped) {
    Fixture f;
    f.select(Rect(100, 100, 200, 100));
    f.chooseMode(AnnotationMode::annotate(Kind::arrow));
    f.driver.dragPath({150, 150}, {{153, 153}});
    f.chooseMode(AnnotationMode::annotate(Kind::freehand));
    f.driver.dragPath({150, 150}, {{151, 151}});
    f.driver.dragPath({150, 150}, {{152, 150}});
    ASSERT_EQ(f.view.annotations().items.size(), 1);
    EXPECT_EQ(f.view.annotations().items[0].kind, Kind::freehand);
}

TEST(SelectionViewInteraction, DoubleClickInsideCompletesWithTheDefaultAction) {
    for (AnnotationMode mode : {AnnotationMode::select(), AnnotationMode::annotate(Kind::arrow),
                                AnnotationMode::annotate(Kind::text)}) {
        Fixture f;
        f.view.setDefaultAction(ExportAction::save);
        f.select(Rect(100, 100, 200, 100));
        f.chooseMode(mode);
        f.events.clear();
        f.driver.press({200, 150});  // the first press is an ordinary one
        f.driver.release({200, 150});
        f.driver.doublePress({200, 150});
        EXPECT_TRUE(f.events.contains("complete save"));
        EXPECT_EQ(f.events.first(), "begin");
        EXPECT_TRUE(f.view.annotations().items.isEmpty());
    }
    // Outside the selection a double click is an ordinary press.
    Fixture f;
    f.select(Rect(100, 100, 200, 100));
    f.events.clear();
    f.driver.doublePress({500, 500});
    EXPECT_EQ(f.events, QStringList{"begin"});
    EXPECT_FALSE(f.view.hasSelection());
}

TEST(SelectionViewInteraction, SecondaryPressCancelsEvenWhileEditingText) {
    Fixture f;
    f.select(Rect(100, 100, 200, 100));
    f.chooseMode(AnnotationMode::annotate(Kind::text));
    f.driver.click({150, 150});
    ASSERT_TRUE(f.view.isEditingText());
    f.events.clear();
    f.driver.press({500, 500}, Qt::RightButton);
    EXPECT_EQ(f.events, QStringList{"cancel"});
    EXPECT_EQ(f.view.selection(), Rect(100, 100, 200, 100));
}

TEST(SelectionViewText, ClickInTextModeOpensTheField) {
    Fixture f;
    f.select(Rect(100, 100, 400, 300));
    f.chooseMode(AnnotationMode::annotate(Kind::text));
    f.driver.click({150, 350});
    ASSERT_TRUE(f.view.isEditingText());
    QLineEdit* field = f.view.textField();
    EXPECT_EQ(field->placeholderText(), "Texte");
    EXPECT_EQ(f.view.textAnchor(), (Point{150, 350}));
    // Top-left at the anchor, 1.4 x 20 high, as wide as the rest of the selection (<= 320).
    EXPECT_EQ(field->geometry(), QRect(150, 600 - 350, 320, 28));
    EXPECT_EQ(field->font().pixelSize(), 20);
    EXPECT_TRUE(std::holds_alternative<SelectionView::Idle>(f.view.interaction()));
    EXPECT_FALSE(field->hasFrame());
}

TEST(SelectionViewText, FieldWidthAndSizeFollowSelectionAndThickness) {
    Fixture f;
    f.select(Rect(100, 100, 400, 300));
    f.view.toolbar()->callbacks.selectThickness(Thickness::thick);
    f.chooseMode(AnnotationMode::annotate(Kind::text));
    // Near the selection's right edge: at least 120 wide, past the edge.
    f.driver.click({495, 150});
    ASSERT_TRUE(f.view.isEditingText());
    EXPECT_EQ(f.view.textAnchor(), (Point{495, 150}));
    EXPECT_EQ(f.view.textField()->geometry(), QRect(495, 450, 120, 42));
    EXPECT_EQ(f.view.textField()->font().pixelSize(), 30);
}

TEST(SelectionViewText, ReturnCommitsTextKeepingItsSpaces) {
    const std::pair<QString, bool> cases[] = {
        {"   ", false}, {" a ", true}, {"", false}, {"\t", false}, {"Été", true}};
    for (const auto& [typed, added] : cases) {
        Fixture f;
        f.select(Rect(100, 100, 400, 300));
        f.chooseMode(AnnotationMode::annotate(Kind::text));
        f.driver.click({150, 350});
        ASSERT_TRUE(f.view.isEditingText());
        f.view.textField()->insert(typed);
        QTest::keyClick(f.view.textField(), Qt::Key_Return);
        EXPECT_FALSE(f.view.isEditingText());
        ASSERT_EQ(f.view.annotations().items.size(), added ? 1 : 0) << typed.toStdString();
        if (added) {
            const Annotation& a = f.view.annotations().items[0];
            EXPECT_EQ(a.kind, Kind::text);
            EXPECT_EQ(a.text, typed);
            EXPECT_EQ(a.points, (QList<Point>{{150, 350}}));
        }
    }
}

TEST(SelectionViewText, EscapeCancelsTheEntryThenTheOverlay) {
    Fixture f;
    f.select(Rect(100, 100, 400, 300));
    f.chooseMode(AnnotationMode::annotate(Kind::text));
    f.driver.click({150, 350});
    QTest::keyClicks(f.view.textField(), "abc");
    f.events.clear();
    QTest::keyClick(f.view.textField(), Qt::Key_Escape);
    EXPECT_FALSE(f.view.isEditingText());
    EXPECT_TRUE(f.view.annotations().items.isEmpty());
    EXPECT_TRUE(f.events.isEmpty());
    QTest::keyClick(&f.view, Qt::Key_Escape);
    EXPECT_EQ(f.events, QStringList{"cancel"});
}

TEST(SelectionViewText, CommitsImplicitlyWithTheStyleCurrentAtCommit) {
    Fixture f;
    f.select(Rect(100, 100, 400, 300));
    f.chooseMode(AnnotationMode::annotate(Kind::text));
    f.driver.click({150, 350});
    QTest::keyClicks(f.view.textField(), "x");
    // Colour and thickness do not commit.
    f.view.toolbar()->callbacks.selectColor(AnnotationColor::blue);
    f.view.toolbar()->callbacks.selectThickness(Thickness::thin);
    EXPECT_TRUE(f.view.isEditingText());
    // A press elsewhere commits, then opens a new entry there.
    f.driver.click({300, 300});
    ASSERT_EQ(f.view.annotations().items.size(), 1);
    EXPECT_EQ(f.view.annotations().items[0].color, AnnotationColor::blue);
    EXPECT_EQ(f.view.annotations().items[0].thickness, Thickness::thin);
    EXPECT_EQ(f.view.textAnchor(), (Point{300, 300}));
    // Undo commits first, then takes back the newest.
    QTest::keyClicks(f.view.textField(), "y");
    f.view.undo();
    EXPECT_FALSE(f.view.isEditingText());
    ASSERT_EQ(f.view.annotations().items.size(), 1);
    EXPECT_EQ(f.view.annotations().items[0].text, "x");
    EXPECT_EQ(f.view.annotations().redoable.size(), 1);
}

TEST(SelectionViewText, DoubleClickOnTheAnchorCompletesThroughTheOpenField) {
    // The first click of a double click in text mode opens the field with its top-left corner
    // under the pointer; the second must still reach the view, routed by the window.
    Fixture f;
    f.view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.view));
    f.select(Rect(100, 100, 400, 300));
    f.chooseMode(AnnotationMode::annotate(Kind::text));
    const QPoint at = f.driver.widgetPoint({150, 350}).toPoint();
    QTest::mouseClick(&f.view, Qt::LeftButton, {}, at);
    ASSERT_TRUE(f.view.isEditingText());
    EXPECT_EQ(f.view.childAt(at), nullptr);  // the field does not cover its own anchor
    EXPECT_EQ(f.view.childAt(at + QPoint(5, 3)), f.view.textField());
    f.events.clear();
    QTest::mouseDClick(&f.view, Qt::LeftButton, {}, at);
    EXPECT_TRUE(f.events.contains("complete copy"));
}

TEST(SelectionViewText, FieldAtTheViewsEdgeIsDefined) {
    Fixture f;
    f.select(Rect(700, 0, 100, 30));
    f.chooseMode(AnnotationMode::annotate(Kind::text));
    f.driver.click({799, 1});
    ASSERT_TRUE(f.view.isEditingText());
    EXPECT_EQ(f.view.textField()->geometry(), QRect(799, 599, 120, 28));
    QTest::keyClicks(f.view.textField(), "bord");
    f.view.requestCompletion(ExportAction::save);
    ASSERT_EQ(f.view.annotations().items.size(), 1);
    EXPECT_EQ(f.events.last(), "complete save");
}

TEST(SelectionViewCommands, UndoRedoAndTheToolbarFlags) {
    Fixture f;
    f.select(Rect(100, 100, 400, 300));
    f.chooseMode(AnnotationMode::annotate(Kind::rectangle));
    f.driver.dragPath({120, 120}, {{200, 200}});
    f.driver.dragPath({220, 220}, {{300, 300}});
    const QList<Annotation> two = f.view.annotations().items;
    EXPECT_TRUE(f.view.toolbar()->canUndo());
    EXPECT_FALSE(f.view.toolbar()->canRedo());
    QTest::keyClick(&f.view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f.view.annotations().items, two.mid(0, 1));
    EXPECT_TRUE(f.view.toolbar()->canRedo());
    QTest::keyClick(&f.view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.view.annotations().items, two);
    f.view.toolbar()->callbacks.undo();
    f.driver.dragPath({320, 320}, {{390, 390}});
    EXPECT_EQ(f.view.annotations().items.size(), 2);
    EXPECT_FALSE(f.view.annotations().canRedo());
    EXPECT_FALSE(f.view.toolbar()->canRedo());
    // Empty lists change nothing.
    f.view.redo();
    EXPECT_EQ(f.view.annotations().items.size(), 2);
}

TEST(SelectionViewCommands, CopyNeedsASelection) {
    Fixture f;
    QTest::keyClick(&f.view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(f.events.isEmpty());
    f.select(Rect(100, 100, 200, 100));
    f.events.clear();
    QTest::keyClick(&f.view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(f.events, QStringList{"complete copy"});
    // The tool bar's export items report their own action.
    f.events.clear();
    f.view.toolbar()->callbacks.exportImage(ExportAction::save);
    EXPECT_EQ(f.events, QStringList{"complete save"});
}

TEST(SelectionViewCommands, ClearSelectionResetsAllButTheStyle) {
    Fixture f;
    f.select(Rect(100, 100, 400, 300));
    f.view.toolbar()->callbacks.selectColor(AnnotationColor::green);
    f.chooseMode(AnnotationMode::annotate(Kind::text));
    f.driver.click({150, 350});
    QTest::keyClicks(f.view.textField(), "perdu");
    f.view.clearSelection();
    EXPECT_FALSE(f.view.hasSelection());
    EXPECT_FALSE(f.view.isEditingText());
    EXPECT_TRUE(f.view.annotations().items.isEmpty());  // cancelled, not committed
    EXPECT_TRUE(f.view.mode().isSelect());
    EXPECT_EQ(f.view.style().color, AnnotationColor::green);
    EXPECT_FALSE(f.view.toolbar()->isVisibleTo(&f.view));
}

TEST(SelectionViewCommands, ToolbarStateFollowsTheView) {
    Fixture f;
    f.select(Rect(100, 100, 400, 300));
    AnnotationToolbar* bar = f.view.toolbar();
    EXPECT_TRUE(bar->isVisibleTo(&f.view));
    // A press on the bar's pixelate item, through the bar's own widget.
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(170, 22));
    EXPECT_EQ(f.view.mode(), AnnotationMode::annotate(Kind::pixelate));
    EXPECT_EQ(bar->mode(), AnnotationMode::annotate(Kind::pixelate));
    f.view.setDefaultAction(ExportAction::save);
    EXPECT_EQ(bar->defaultAction(), ExportAction::save);
    bar->callbacks.selectThickness(Thickness::thick);
    EXPECT_EQ(bar->style().thickness, Thickness::thick);
}

TEST(SelectionViewToolbar, PlacedBelowAboveOrInsideTheSelection) {
    struct Case {
        Rect selection;
        QPoint widgetTopLeft;  // of the bar
    };
    const Case cases[] = {
        // Below, centred: x = 300 - 291, y = 300 - 54.
        {Rect(200, 300, 200, 100), QPoint(9, 600 - 246 - 44)},
        // Bottom 30 above the display's bottom, room above: above, 10 over the top edge.
        {Rect(300, 30, 200, 100), QPoint(109, 600 - 140 - 44)},
        // The whole display: inside, 10 above the bottom.
        {Rect(0, 0, 800, 600), QPoint(109, 600 - 10 - 44)},
        // Near the left edge: clamped to 4.
        {Rect(10, 300, 50, 50), QPoint(4, 600 - 246 - 44)},
        // Near the right edge: clamped to 800 - 582 - 4.
        {Rect(700, 300, 90, 50), QPoint(214, 600 - 246 - 44)},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.select(c.selection);
        ASSERT_EQ(f.view.selection(), c.selection);
        EXPECT_EQ(f.view.toolbar()->geometry(), QRect(c.widgetTopLeft, QSize(582, 44)))
            << c.selection.minX() << "," << c.selection.minY();
    }
}

TEST(SelectionViewToolbar, StaysWholeOnANarrowDisplayOrKeepsItsCopyAndSave) {
    struct Case {
        double viewWidth;
        int barLeft;  // in the view's widget
    };
    const Case cases[] = {
        {590, 4},    // the usual margins still fit
        {586, 2},    // narrower: the margins shrink, the bar stays whole
        {582, 0},    // exactly the bar
        {540, -42},  // a 1080-pixel portrait display at 2x: the bar ends at the right edge
    };
    for (const Case& c : cases) {
        Fixture f(Rect(0, 0, c.viewWidth, 960), 2);
        f.select(Rect(100, 500, 300, 250));
        const QRect bar = f.view.toolbar()->geometry();
        EXPECT_EQ(bar, QRect(c.barLeft, 960 - 446 - 44, 582, 44)) << c.viewWidth;  // 54 below
        // Save (514) and copy (544), each 30 wide, are inside the view.
        EXPECT_GE(bar.x() + 514, 0) << c.viewWidth;
        EXPECT_LE(bar.x() + 574, int(c.viewWidth)) << c.viewWidth;
    }
}

TEST(SelectionViewToolbar, FollowsTheSelectionWhileDrawn) {
    Fixture f;
    f.driver.press({100, 500});
    f.driver.drag({400, 300});
    EXPECT_TRUE(f.view.toolbar()->isVisibleTo(&f.view));
    EXPECT_EQ(f.view.toolbar()->geometry().topLeft(), QPoint(4, 600 - 246 - 44));
    f.driver.drag({100, 500});  // empty: hidden
    EXPECT_FALSE(f.view.toolbar()->isVisibleTo(&f.view));
}

TEST(SelectionViewPointer, ShapeByModeAndHandle) {
    Fixture f;
    f.driver.hover({50, 50});
    EXPECT_EQ(f.view.cursor().shape(), Qt::CrossCursor);
    f.select(Rect(100, 100, 200, 100));
    const std::pair<Point, Qt::CursorShape> cases[] = {
        {{200, 203}, Qt::SizeVerCursor}, {{200, 97}, Qt::SizeVerCursor},
        {{97, 150}, Qt::SizeHorCursor},  {{305, 150}, Qt::SizeHorCursor},
        {{103, 197}, Qt::CrossCursor},   {{200, 150}, Qt::OpenHandCursor},
        {{500, 500}, Qt::CrossCursor},
    };
    for (const auto& [p, shape] : cases) {
        f.driver.hover(p);
        EXPECT_EQ(f.view.cursor().shape(), shape) << p.x << "," << p.y;
    }
    f.chooseMode(AnnotationMode::annotate(Kind::text));
    f.driver.hover({200, 203});
    EXPECT_EQ(f.view.cursor().shape(), Qt::IBeamCursor);
    f.chooseMode(AnnotationMode::annotate(Kind::arrow));
    f.driver.hover({200, 150});
    EXPECT_EQ(f.view.cursor().shape(), Qt::CrossCursor);
}

TEST(SelectionViewBadInput, ExtremeCoordinatesAndZeroSizeViews) {
    Fixture f;
    f.driver.dragPath({-1e300, 1e300}, {{1e300, -1e300}});
    ASSERT_TRUE(f.view.hasSelection());
    f.driver.hover({1e308, -1e308});
    EXPECT_FALSE(f.view.grab().isNull());
    f.driver.dragPath({std::numeric_limits<double>::infinity(), 0}, {{5, 5}});
    EXPECT_FALSE(f.view.grab().isNull());

    // Nothing can be selected on a display without points.
    Fixture zero(Rect(0, 0, 0, 0));
    zero.driver.dragPath({0, 0}, {{100, 100}});
    zero.driver.hover({3, 3});
    EXPECT_FALSE(zero.view.hasSelection());
    EXPECT_TRUE(zero.view.grab().isNull() || zero.view.grab().size().isEmpty());
    zero.view.clearSelection();
    EXPECT_FALSE(zero.view.hasSelection());
}

}  // namespace
