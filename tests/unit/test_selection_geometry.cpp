#include <gtest/gtest.h>

#include <optional>

#include "Overlay/SelectionGeometry.h"

namespace {

using enum SelectionHandle;
const Rect kR(100, 100, 200, 100);  // minX 100, maxX 300, minY 100, maxY 200

TEST(SelectionGeometry, HandlePositionsFollowTheYUpEdges) {
    const std::pair<SelectionHandle, Point> cases[] = {
        {topLeft, {100, 200}},    {top, {200, 200}},         {topRight, {300, 200}},
        {right, {300, 150}},      {bottomRight, {300, 100}}, {bottom, {200, 100}},
        {bottomLeft, {100, 100}}, {left, {100, 150}},
    };
    for (const auto& [h, p] : cases) EXPECT_EQ(position(h, kR), p) << int(h);
    // A rectangle with a negative size has the same handles as its standardised form.
    EXPECT_EQ(position(topLeft, Rect(300, 200, -200, -100)), (Point{100, 200}));
}

TEST(SelectionGeometry, HitTestUsesSquareZonesInHandleOrder) {
    const std::pair<Point, std::optional<SelectionHandle>> cases[] = {
        {{103, 196}, topLeft},      {{200, 207}, top},          {{308, 150}, right},
        {{310, 150}, std::nullopt}, {{200, 150}, std::nullopt}, {{92, 92}, bottomLeft},
        {{91.9, 92}, std::nullopt}, {{300, 108}, bottomRight},  {{200, 92}, bottom},
    };
    for (const auto& [p, expected] : cases)
        EXPECT_EQ(SelectionGeometry::handle(p, kR, 8), expected) << p.x << "," << p.y;
    // On a tiny rectangle every zone overlaps: the first in order wins.
    EXPECT_EQ(SelectionGeometry::handle({102, 102}, Rect(100, 100, 4, 4), 8), topLeft);
}

TEST(SelectionGeometry, ResizeReplacesOnlyTheDraggedEdges) {
    const std::tuple<SelectionHandle, Point, Rect> cases[] = {
        {left, {50, 150}, Rect(50, 100, 250, 100)},
        {left, {350, 150}, Rect(300, 100, 50, 100)},  // past the opposite edge: flipped
        {topRight, {320, 260}, Rect(100, 100, 220, 160)},
        {top, {999, 150}, Rect(100, 100, 200, 50)},  // x of the pointer is ignored
        {bottom, {0, 20}, Rect(100, 20, 200, 180)},
        {bottomLeft, {120, 120}, Rect(120, 120, 180, 80)},
        {bottomRight, {300, 200}, Rect(100, 200, 200, 0)},  // no minimum size
        {right, {100, 500}, Rect(100, 100, 0, 100)},
        {topLeft, {400, 50}, Rect(300, 50, 100, 50)},
    };
    for (const auto& [h, p, expected] : cases) EXPECT_EQ(resize(h, kR, p), expected) << int(h);
}

TEST(SelectionGeometry, NewSelectionSpansTwoPointsUnclamped) {
    EXPECT_EQ(SelectionGeometry::rectFromPoints({300, 400}, {100, 250}), Rect(100, 250, 200, 150));
    EXPECT_EQ(SelectionGeometry::rectFromPoints({10, 10}, {-50, 2000}), Rect(-50, 10, 60, 1990));
}

TEST(SelectionGeometry, MovedSelectionStaysInsideTheView) {
    const Rect view(0, 0, 1440, 900);
    const Rect sel(500, 500, 200, 100);
    const Point grab{10, 20};
    // Candidate origin (1300, -20) ends at (1240, 0).
    EXPECT_EQ(SelectionGeometry::moved(sel, {1310, 0}, grab, view), Rect(1240, 0, 200, 100));
    EXPECT_EQ(SelectionGeometry::moved(sel, {60, 50}, grab, view), Rect(50, 30, 200, 100));
    EXPECT_EQ(SelectionGeometry::moved(sel, {-1e9, 1e9}, grab, view), Rect(0, 800, 200, 100));
    // Larger than the view: the right and top clamps win.
    EXPECT_EQ(SelectionGeometry::moved(Rect(0, 0, 2000, 1000), {5, 5}, {0, 0}, view),
              Rect(-560, -100, 2000, 1000));
}

TEST(SelectionGeometry, ClampedKeepsPointsOnTheClosedRectangle) {
    const Rect r(10, 20, 100, 50);
    EXPECT_EQ(SelectionGeometry::clamped({0, 0}, r), (Point{10, 20}));
    EXPECT_EQ(SelectionGeometry::clamped({500, 500}, r), (Point{110, 70}));
    EXPECT_EQ(SelectionGeometry::clamped({50, 40}, r), (Point{50, 40}));
}

}  // namespace
