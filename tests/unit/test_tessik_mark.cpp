#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "Design/TessikColor.h"
#include "Design/TessikMark.h"

namespace {
QImage render(QSize size, bool background, bool spark) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    TessikMark::paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), background, spark);
    return image;
}
}  // namespace

TEST(TessikColor, IsTheThreeBrandColours) {
    EXPECT_EQ(TessikColor::ink(), QColor(0x14, 0x14, 0x14));
    EXPECT_EQ(TessikColor::cream(), QColor(0xF4, 0xF1, 0xEC));
    EXPECT_EQ(TessikColor::accent(), QColor(0xFF, 0x4D, 0x1C));
    EXPECT_EQ(tessikInk(), TessikColor::ink());
    EXPECT_EQ(tessikCream(), TessikColor::cream());
    EXPECT_EQ(tessikAccent(), TessikColor::accent());
}

TEST(TessikMark, LaysTheGridOutInTheCentredSquare) {
    const QRectF square = TessikMark::markSquare(QRectF(0, 0, 100, 60));
    EXPECT_EQ(square, QRectF(20, 0, 60, 60));

    // At 60 points u = 0.6: the tile is 55.2 wide, centred.
    EXPECT_EQ(TessikMark::tilePath(QRectF(0, 0, 60, 60)).boundingRect(),
              QRectF(2.4, 2.4, 55.2, 55.2));

    const QPainterPath brackets = TessikMark::bracketsPath(square);
    ASSERT_EQ(brackets.elementCount(), 8);
    const QPointF expected[] = {{36, 26}, {26, 26}, {26, 74}, {36, 74},
                                {64, 26}, {74, 26}, {74, 74}, {64, 74}};
    for (int i = 0; i < 8; ++i) {
        const QPointF p = brackets.elementAt(i);
        EXPECT_NEAR(p.x(), 20 + expected[i].x() * 0.6, 1e-9) << i;
        EXPECT_NEAR(p.y(), expected[i].y() * 0.6, 1e-9) << i;
    }
    EXPECT_TRUE(brackets.elementAt(4).isMoveTo());

    const QRectF spark = TessikMark::sparkPath(QRectF(0, 0, 100, 100)).boundingRect();
    EXPECT_NEAR(spark.left(), 34, 1e-9);
    EXPECT_NEAR(spark.top(), 34, 1e-9);
    EXPECT_NEAR(spark.right(), 66, 1e-9);
    EXPECT_NEAR(spark.bottom(), 66, 1e-9);
}

TEST(TessikMark, TileCornersAreContinuousAndSmoothlyRounded) {
    const QRectF tile(0, 0, 92, 92);
    const QPainterPath path = continuousRoundedRect(tile, 22);
    EXPECT_EQ(path.boundingRect(), tile);
    // Straight sides run until 1.6 radius from each corner.
    for (QPointF inside : {QPointF(46, 0.05), QPointF(35.3, 0.2), QPointF(91.95, 46),
                           QPointF(46, 91.95), QPointF(0.05, 46), QPointF(46, 46)})
        EXPECT_TRUE(path.contains(inside)) << inside.x() << "," << inside.y();
    for (QPointF corner : {QPointF(0.5, 0.5), QPointF(91.5, 0.5), QPointF(91.5, 91.5),
                           QPointF(0.5, 91.5), QPointF(5, 5)})
        EXPECT_FALSE(path.contains(corner)) << corner.x() << "," << corner.y();
    // Against a circular corner of the same radius: as deep on the diagonal (6.44 in), but the
    // curve starts earlier along each side and eases into it.
    QPainterPath circular;
    circular.addRoundedRect(tile, 22, 22);
    EXPECT_TRUE(path.contains(QPointF(6.8, 6.8)));
    EXPECT_FALSE(path.contains(QPointF(6.1, 6.1)));
    EXPECT_TRUE(circular.contains(QPointF(20, 0.2)));
    EXPECT_FALSE(path.contains(QPointF(20, 0.2)));
    EXPECT_TRUE(circular.contains(QPointF(0.2, 20)));
    EXPECT_FALSE(path.contains(QPointF(0.2, 20)));
}

TEST(TessikMark, DrawsTileBracketsAndSparkInTheirColours) {
    const QImage full = render({100, 60}, true, true);
    EXPECT_EQ(full.pixelColor(10, 30).alpha(), 0);              // margin left of the centred square
    EXPECT_EQ(full.pixelColor(90, 30).alpha(), 0);              // and right of it
    EXPECT_EQ(full.pixelColor(50, 30), TessikColor::accent());  // spark centre
    EXPECT_EQ(full.pixelColor(20 + 26 * 0.6, 30), TessikColor::cream());  // left bracket
    EXPECT_EQ(full.pixelColor(30, 8), TessikColor::ink());                // tile

    const QImage bare = render({100, 100}, false, false);
    EXPECT_EQ(bare.pixelColor(26, 50), TessikColor::cream());
    EXPECT_EQ(bare.pixelColor(50, 50).alpha(), 0);
    EXPECT_EQ(bare.pixelColor(10, 10).alpha(), 0);
}
