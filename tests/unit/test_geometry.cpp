#include <gtest/gtest.h>

#include "Base/Geometry.h"

TEST(Rect, StandardisesNegativeSizesAndReportsExtremes) {
    const Rect r(30, 40, -20, -10);
    EXPECT_EQ(r.standardized(), Rect(10, 30, 20, 10));
    EXPECT_EQ(r.minX(), 10);
    EXPECT_EQ(r.maxX(), 30);
    EXPECT_EQ(r.minY(), 30);
    EXPECT_EQ(r.maxY(), 40);
    EXPECT_EQ(r.midX(), 20);
}

TEST(Rect, ContainmentIsHalfOpen) {
    const Rect r(0, 0, 10, 10);
    EXPECT_TRUE(r.contains(Point{0, 0}));
    EXPECT_TRUE(r.contains(Point{9.999, 9.999}));
    EXPECT_FALSE(r.contains(Point{10, 5}));
    EXPECT_FALSE(r.contains(Point{5, 10}));
    EXPECT_FALSE(Rect(0, 0, 0, 10).contains(Point{0, 0}));
}

TEST(Rect, IntersectionUnionAndInset) {
    const Rect a(0, 0, 10, 10), b(5, 5, 10, 10), far(50, 50, 1, 1);
    EXPECT_EQ(a.intersection(b), Rect(5, 5, 5, 5));
    EXPECT_TRUE(a.intersection(far).isNull());
    EXPECT_TRUE(a.intersection(far).isEmpty());
    EXPECT_EQ(a.unionWith(b), Rect(0, 0, 15, 15));
    EXPECT_EQ(Rect::null().unionWith(b), b);
    EXPECT_EQ(a.insetBy(2, 3), Rect(2, 3, 6, 4));
    EXPECT_TRUE(a.insetBy(6, 0).isNull());
}

TEST(PixelRect, RoundsHalvesAwayFromZeroAndFlipsY) {
    struct Case {
        Rect view;
        double scale, height;
        QRect expected;
    };
    const Case cases[] = {
        {Rect(10, 20, 100, 50), 1, 900, QRect(10, 830, 100, 50)},
        {Rect(10, 20, 100, 50), 2, 900, QRect(20, 1660, 200, 100)},
        {Rect(0.25, 0, 10.25, 10), 2, 10, QRect(1, 0, 21, 20)},    // 0.5 -> 1, 20.5 -> 21
        {Rect(0.5, 0.5, 1, 1), 1.5, 10, QRect(1, 13, 2, 2)},       // 0.75, 12.75, 1.5
        {Rect(-0.25, 0, 1, 1), 2, 1, QRect(-1, 0, 2, 2)},          // -0.5 -> -1
    };
    for (const Case& c : cases)
        EXPECT_EQ(pixelRect(c.view, c.scale, c.height), c.expected)
            << c.view.origin.x << "," << c.view.origin.y << " scale " << c.scale;
}
