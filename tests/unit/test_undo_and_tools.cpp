#include <gtest/gtest.h>

#include "Annotation/AnnotationTools.h"
#include "Annotation/UndoStack.h"

namespace {

using Kind = Annotation::Kind;
const AnnotationStyle kStyle{AnnotationColor::blue, Thickness::thick};

TEST(AnnotationTools, ToolForEachKindAndItsCursor) {
    const std::tuple<Kind, AnnotationTool, Qt::CursorShape> cases[] = {
        {Kind::arrow, TwoPointTool{Kind::arrow}, Qt::CrossCursor},
        {Kind::rectangle, TwoPointTool{Kind::rectangle}, Qt::CrossCursor},
        {Kind::highlighter, TwoPointTool{Kind::highlighter}, Qt::CrossCursor},
        {Kind::pixelate, TwoPointTool{Kind::pixelate}, Qt::CrossCursor},
        {Kind::freehand, FreehandTool{}, Qt::CrossCursor},
        {Kind::text, TextTool{}, Qt::IBeamCursor},
    };
    for (const auto& [kind, tool, cursor] : cases) {
        EXPECT_EQ(toolFor(kind), tool) << rawValue(kind).toStdString();
        EXPECT_EQ(kindOf(tool), kind);
        EXPECT_EQ(cursorOf(tool), cursor);
    }
}

TEST(AnnotationTools, BeginTakesTheStyleAndAFreshId) {
    for (Kind kind : allAnnotationKinds()) {
        const AnnotationTool tool = toolFor(kind);
        const Annotation a = begin(tool, {5, 6}, kStyle);
        const Annotation b = begin(tool, {5, 6}, kStyle);
        EXPECT_EQ(a.kind, kind);
        EXPECT_EQ(a.color, AnnotationColor::blue);
        EXPECT_EQ(a.thickness, Thickness::thick);
        EXPECT_TRUE(a.text.isEmpty());
        EXPECT_NE(a.id, b.id);
        const qsizetype expectedPoints = kind == Kind::text || kind == Kind::freehand ? 1 : 2;
        EXPECT_EQ(a.points, (QList<Point>(expectedPoints, Point{5, 6})));
    }
}

TEST(AnnotationTools, TwoPointToolKeepsDragsOfMoreThanThreePoints) {
    const TwoPointTool tool{Kind::rectangle};
    const std::pair<Point, bool> cases[] = {
        {{13, 13}, false}, {{14, 10}, true}, {{10, 6}, true}, {{7, 7}, false}, {{10, 10}, false},
    };
    for (const auto& [to, complete] : cases) {
        Annotation a = tool.begin({10, 10}, kStyle);
        tool.update(a, {50, 50});
        tool.update(a, to);
        EXPECT_EQ(a.points.first(), (Point{10, 10}));
        EXPECT_EQ(a.points.last(), to);
        EXPECT_EQ(tool.isComplete(a), complete) << to.x << "," << to.y;
    }
    // Only a two-point annotation is changed or complete.
    Annotation odd = tool.begin({0, 0}, kStyle);
    odd.points = {{0, 0}, {10, 0}, {20, 0}};
    tool.update(odd, {99, 99});
    EXPECT_EQ(odd.points.size(), 3);
    EXPECT_FALSE(tool.isComplete(odd));
}

TEST(AnnotationTools, FreehandThinsSlowSamples) {
    const FreehandTool tool;
    Annotation a = tool.begin({0, 0}, kStyle);
    tool.update(a, {1, 1});  // closer than 1.5 in both: dropped
    EXPECT_EQ(a.points.size(), 1);
    EXPECT_FALSE(tool.isComplete(a));
    tool.update(a, {1, 2});      // |dy| = 2
    tool.update(a, {2.4, 3.4});  // both below 1.5 from (1, 2): dropped
    tool.update(a, {2.5, 2});    // |dx| = 1.5: kept
    EXPECT_EQ(a.points, (QList<Point>{{0, 0}, {1, 2}, {2.5, 2}}));
    EXPECT_TRUE(tool.isComplete(a));

    Annotation moved = tool.begin({10, 10}, kStyle);
    tool.update(moved, {12, 10});
    EXPECT_TRUE(tool.isComplete(moved));
}

TEST(AnnotationTools, TextToolFollowsThePointerAndNeedsText) {
    const TextTool tool;
    Annotation a = tool.begin({3, 4}, kStyle);
    tool.update(a, {7, 8});
    EXPECT_EQ(a.points, (QList<Point>{Point{7, 8}}));
    EXPECT_FALSE(tool.isComplete(a));
    a.text = " ";
    EXPECT_TRUE(tool.isComplete(a));
}

TEST(UndoStack, PushUndoRedoSequences) {
    UndoStack<char> s;
    EXPECT_EQ(s.undo(), std::nullopt);
    EXPECT_EQ(s.redo(), std::nullopt);
    EXPECT_FALSE(s.canUndo());

    s.push('a');
    s.push('b');
    EXPECT_EQ(s.redo(), std::nullopt);  // a push leaves nothing to redo
    EXPECT_EQ(s.undo(), 'b');
    EXPECT_EQ(s.items, QList<char>{'a'});
    EXPECT_EQ(s.redoable, QList<char>{'b'});
    EXPECT_TRUE(s.canRedo());
    EXPECT_EQ(s.redo(), 'b');
    EXPECT_EQ(s.items, (QList<char>{'a', 'b'}));
    EXPECT_TRUE(s.redoable.isEmpty());

    s.undo();
    s.push('c');
    EXPECT_EQ(s.items, (QList<char>{'a', 'c'}));
    EXPECT_TRUE(s.redoable.isEmpty());
    EXPECT_FALSE(s.canRedo());

    // Several undos come back in reverse order through redo.
    s.undo();
    s.undo();
    EXPECT_EQ(s.redoable, (QList<char>{'c', 'a'}));
    EXPECT_EQ(s.redo(), 'a');
    EXPECT_EQ(s.redo(), 'c');
    EXPECT_EQ(s.undo(), 'c');
}

}  // namespace
