#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include "Annotation/AnnotationRenderer.h"

namespace {

const QColor background(Qt::white);

// A display of `size` points at `scale`, painted white, drawn on in y-up view space the way the
// selection view and the composer set up their painters.
struct Canvas {
    Size size;
    double scale;
    QImage image;

    Canvas(Size s, double sc, QImage source = {}) : size(s), scale(sc) {
        if (source.isNull()) {
            image =
                QImage(int(s.width * sc), int(s.height * sc), QImage::Format_ARGB32_Premultiplied);
            image.fill(background);
        } else {
            image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
    }

    void draw(const QList<Annotation>& annotations, const QImage& source = {}) {
        QPainter p(&image);
        p.scale(scale, scale);
        p.translate(0, size.height);
        p.scale(1, -1);
        AnnotationRenderer(source.isNull() ? image : source, size, scale).draw(annotations, p);
    }

    // The pixel holding a view point.
    QColor at(double x, double y) const {
        return image.pixelColor(int(std::floor(x * scale)),
                                int(std::floor((size.height - y) * scale)));
    }
};

Annotation make(Annotation::Kind kind, QList<Point> points, Thickness t = Thickness::medium,
                AnnotationColor c = AnnotationColor::blue, QString text = {}) {
    Annotation a;
    a.kind = kind;
    a.points = points;
    a.thickness = t;
    a.color = c;
    a.text = text;
    return a;
}

const QColor blue = cgColor(AnnotationColor::blue);

struct Probe {
    double x, y;
    bool inked;
};

void expectProbes(const Canvas& canvas, const QList<Probe>& probes, const QColor& ink) {
    for (const Probe& p : probes) {
        const QColor expected = p.inked ? ink : background;
        EXPECT_EQ(canvas.at(p.x, p.y).rgb(), expected.rgb()) << "at (" << p.x << ", " << p.y << ")";
    }
}

}  // namespace

TEST(AnnotationRenderer, ArrowHeadIsFilledTriangleAtTheTipOverARoundCappedShaft) {
    // Head 18 long, corners (200,100), (182,108.8), (182,91.2); shaft 4 wide from (100,100).
    Canvas canvas({300, 200}, 4);
    canvas.draw({make(Annotation::Kind::arrow, {{100, 100}, {200, 100}})});
    expectProbes(canvas,
                 {
                     {198.5, 100, true},     // just inside the tip
                     {200.6, 100, false},    // just past the tip
                     {182.9, 107.6, true},   // inside the upper base corner
                     {181.4, 109.4, false},  // outside it
                     {182.9, 92.4, true},    // inside the lower base corner
                     {181.4, 90.6, false},   // outside it
                     {150, 101.6, true},     // the shaft is 4 wide...
                     {150, 102.5, false},    // ...and no wider
                     {98.4, 100, true},      // round cap behind the tail
                     {97.5, 100, false},
                 },
                 blue);
}

TEST(AnnotationRenderer, ShortArrowHeadTakesTheWholeLengthAndTinyArrowDrawsNothing) {
    Canvas canvas({100, 100}, 4);
    // w = 7: head 10 long with its base on the tail, half-width 15.4.
    canvas.draw({make(Annotation::Kind::arrow, {{20, 50}, {30, 50}}, Thickness::thick)});
    expectProbes(canvas, {{20.5, 63, true}, {19.6, 63, false}, {29.2, 50, true}, {30.6, 50, false}},
                 blue);

    Canvas empty({100, 100}, 4);
    empty.draw({make(Annotation::Kind::arrow, {{20, 50}, {21, 50}})});
    const QImage blank = Canvas({100, 100}, 4).image;
    EXPECT_EQ(empty.image, blank);
}

TEST(AnnotationRenderer, RectangleStrokeOuterEdgeLiesOnTheDrawnRectangleWithMitredCorners) {
    Canvas canvas({100, 100}, 4);
    canvas.draw({make(Annotation::Kind::rectangle, {{60, 40}, {10, 10}}, Thickness::thin)});
    expectProbes(canvas,
                 {
                     {10.1, 25, true},  // outer edge at x = 10
                     {9.9, 25, false},
                     {11.9, 25, true},  // inner edge at x = 12
                     {12.1, 25, false},
                     {59.9, 25, true},  // right side
                     {60.1, 25, false},
                     {30, 39.9, true},  // top side
                     {30, 40.1, false},
                     {10.1, 10.1, true},  // a mitred corner is square, a round one would miss
                     {59.9, 39.9, true},
                     {35, 25, false},  // not filled
                 },
                 blue);
}

TEST(AnnotationRenderer, DegenerateShapesDrawNothingButLaterAnnotationsStillDraw) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    using K = Annotation::Kind;
    const QList<Annotation> bad{
        make(K::rectangle, {{10, 10}, {10, 40}}),
        make(K::rectangle, {{10, 10}, {11, 40}}, Thickness::thick),  // narrower than the stroke
        make(K::rectangle, {}),
        make(K::highlighter, {{10, 10}, {10, 40}}),
        make(K::pixelate, {{10, 10}, {11, 40}}),
        make(K::arrow, {{10, 10}}),
        make(K::arrow, {{10, 10}, {40, 40}, {50, 50}}),
        make(K::arrow, {{10, 10}, {nan, 40}}),
        make(K::freehand, {{10, 10}}),
        make(K::freehand, {{10, 10}, {20, inf}, {30, 30}}),
        make(K::text, {}, Thickness::thin, AnnotationColor::blue, "A"),
        make(K::text, {{10, 50}}, Thickness::thin, AnnotationColor::blue, ""),
        make(K::pixelate, {{-inf, 0}, {50, 50}}),
        make(K::rectangle, {{1e300, 0}, {-1e300, 50}}),
    };
    Canvas canvas({100, 100}, 2);
    canvas.draw(bad);
    EXPECT_EQ(canvas.image, Canvas({100, 100}, 2).image);

    QList<Annotation> withGood = bad;
    withGood.append(make(K::highlighter, {{70, 70}, {90, 90}}));
    canvas.draw(withGood);
    EXPECT_NE(canvas.at(80, 80).rgb(), background.rgb());
}

TEST(AnnotationRenderer, HighlighterMultipliesIntoWhatIsBelowAndDoesNotLeakItsBlendMode) {
    Canvas canvas({100, 100}, 1);
    {
        QPainter p(&canvas.image);
        p.fillRect(0, 0, 50, 100, Qt::black);  // dark "text" on the left half
    }
    const AnnotationColor yellow = AnnotationColor::yellow;
    canvas.draw({make(Annotation::Kind::highlighter, {{10, 10}, {90, 60}}, Thickness::thin, yellow),
                 // Drawn after the highlighter over black: with a leaked multiply it would vanish.
                 make(Annotation::Kind::rectangle, {{20, 70}, {40, 90}}, Thickness::thick,
                      AnnotationColor::blue)});

    EXPECT_EQ(canvas.at(30, 30).rgb(), QColor(Qt::black).rgb());  // text stays readable
    const QColor c = cgColor(yellow);
    const QColor tinted = canvas.at(70, 30);
    auto mixed = [](double channel) { return int(std::lround(255 * (1 - 0.42 + 0.42 * channel))); };
    EXPECT_NEAR(tinted.red(), mixed(c.redF()), 2);
    EXPECT_NEAR(tinted.green(), mixed(c.greenF()), 2);
    EXPECT_NEAR(tinted.blue(), mixed(c.blueF()), 2);
    EXPECT_EQ(canvas.at(70, 80).rgb(), background.rgb());  // only the rectangle R is filled
    EXPECT_EQ(canvas.at(21.5, 80).rgb(), blue.rgb());
}

TEST(AnnotationRenderer, LaterAnnotationsCoverEarlierOnesAndPainterStateIsRestored) {
    Canvas canvas({100, 100}, 1);
    QPainter p(&canvas.image);
    p.translate(0, 100);
    p.scale(1, -1);
    const QTransform before = p.transform();
    p.setPen(QPen(Qt::red, 9));
    AnnotationRenderer(canvas.image, {100, 100}, 1)
        .draw({make(Annotation::Kind::highlighter, {{0, 0}, {50, 50}}),
               make(Annotation::Kind::rectangle, {{10, 10}, {40, 40}}, Thickness::thick,
                    AnnotationColor::green),
               make(Annotation::Kind::text, {{10, 90}}, Thickness::thick, AnnotationColor::cream,
                    "Ab")},
              p);
    EXPECT_EQ(p.transform(), before);
    EXPECT_EQ(p.compositionMode(), QPainter::CompositionMode_SourceOver);
    EXPECT_EQ(p.pen().color(), QColor(Qt::red));
    EXPECT_EQ(p.pen().widthF(), 9);
    p.end();
    EXPECT_EQ(canvas.at(11, 20).rgb(), cgColor(AnnotationColor::green).rgb());
}

TEST(AnnotationRenderer, TextHangsFromItsAnchorByTheAscentAndStandsUpright) {
    Canvas canvas({200, 600}, 2);
    canvas.draw(
        {make(Annotation::Kind::text, {{50, 500}}, Thickness::thick, AnnotationColor::blue, "T")});
    // Ink rows, in view y (up).
    double top = -1, bottom = 1e9;
    int topWidth = 0, bottomWidth = 0;
    for (int row = 0; row < canvas.image.height(); ++row) {
        int inked = 0;
        for (int x = 0; x < canvas.image.width(); ++x)
            if (canvas.image.pixel(x, row) != background.rgb()) ++inked;
        if (inked == 0) continue;
        const double y = canvas.size.height - (row + 0.5) / canvas.scale;
        if (y > top) top = y, topWidth = inked;
        if (y < bottom) bottom = y, bottomWidth = inked;
    }
    QFont font;
    font.setFamilies({"Inter"});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(30);
    const QFontMetricsF metrics(font);
    const double baseline = 500 - metrics.ascent();
    ASSERT_GT(top, 0) << "nothing drawn";
    EXPECT_LE(top, 500);                                    // nothing above the ascent line
    EXPECT_NEAR(top, baseline + metrics.capHeight(), 1.5);  // the T's bar at cap height
    EXPECT_NEAR(bottom, baseline, 1.0);                     // the stem stands on the baseline
    EXPECT_GT(topWidth, 3 * bottomWidth);                   // bar at the top: not mirrored
}

TEST(AnnotationRenderer, FreehandBendsThroughMidpointsAndEndsWithALine) {
    // Move to (20,20), curve to (35,25) with control (30,30), line to (40,20).
    Canvas canvas({100, 100}, 4);
    canvas.draw(
        {make(Annotation::Kind::freehand, {{20, 20}, {30, 30}, {40, 20}}, Thickness::thin)});
    expectProbes(canvas,
                 {
                     {28.75, 26.25, true},  // the curve's midpoint
                     {35, 25, true},        // the first segment ends at the midpoint
                     {37.5, 22.5, true},    // the closing straight line
                     {30, 29.5, false},     // a polyline would pass its corner here
                     {41.3, 20, false},     // round cap reaches 1 past the end, no further
                     {40.6, 20, true},
                 },
                 blue);
}

TEST(AnnotationRenderer, PixelateAveragesBlocksAnchoredAtTheCropsLowerLeftOnA2xDisplay) {
    // A 2x display of 100 x 100 points whose every pixel differs.
    QImage source(200, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) source.setPixel(x, y, qRgb(x, y, (x * 7 + y * 13) & 255));
    Canvas canvas({100, 100}, 2, source);
    // Points (10,10)-(60,35): pixels x 20, y 130, 100 x 50; 16-pixel blocks for thin.
    canvas.draw({make(Annotation::Kind::pixelate, {{10, 35}, {60, 10}}, Thickness::thin)}, source);
    const QRect crop(20, 130, 100, 50);

    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (!crop.contains(x, y)) {
                ASSERT_EQ(canvas.image.pixel(x, y), source.pixel(x, y));
            }
        }
    }

    // Block rows from the bottom: 164-179, 148-163, 132-147 and a cut top row 130-131;
    // columns 20-35, ..., 100-115 and a cut one 116-119.
    for (int bottom = 180; bottom > 130; bottom -= 16) {
        for (int left = 20; left < 120; left += 16) {
            const QRect block = QRect(left, bottom - 16, 16, 16).intersected(crop);
            long sum[3] = {0, 0, 0};
            for (int y = block.top(); y <= block.bottom(); ++y)
                for (int x = block.left(); x <= block.right(); ++x) {
                    const QRgb p = source.pixel(x, y);
                    sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p);
                }
            const long n = long(block.width()) * block.height();
            for (int y = block.top(); y <= block.bottom(); ++y)
                for (int x = block.left(); x <= block.right(); ++x) {
                    const QRgb p = canvas.image.pixel(x, y);
                    ASSERT_EQ(p, canvas.image.pixel(block.topLeft())) << x << "," << y;
                    ASSERT_NEAR(qRed(p), double(sum[0]) / n, 0.51);
                    ASSERT_NEAR(qGreen(p), double(sum[1]) / n, 0.51);
                    ASSERT_NEAR(qBlue(p), double(sum[2]) / n, 0.51);
                }
        }
    }
}

TEST(AnnotationRenderer, PixelateReachingPastTheCaptureCoversOnlyTheOverlap) {
    QImage source(100, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) source.setPixel(x, y, qRgb(x * 2, y * 2, 90));
    Canvas canvas({100, 100}, 1, source);
    // Reaches 20 points past the left and bottom edges: pixels 0-29 wide, rows 70-99.
    canvas.draw({make(Annotation::Kind::pixelate, {{-20, -20}, {30, 30}})}, source);
    EXPECT_EQ(canvas.image.pixel(30, 85), source.pixel(30, 85));
    EXPECT_EQ(canvas.image.pixel(15, 69), source.pixel(15, 69));
    // 14-pixel blocks from the overlap's lower-left corner (0, 99): the first is x 0-13, rows
    // 86-99.
    for (int y = 86; y < 100; ++y)
        for (int x = 0; x < 14; ++x) ASSERT_EQ(canvas.image.pixel(x, y), canvas.image.pixel(0, 99));
    EXPECT_NE(canvas.image.pixel(0, 99), canvas.image.pixel(14, 99));
    EXPECT_NE(canvas.image.pixel(0, 99), canvas.image.pixel(0, 85));
}
