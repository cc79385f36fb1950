#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <QColorSpace>
#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>

#include "Annotation/AnnotationRenderer.h"
#include "Export/ExportAction.h"
#include "Export/ExportComposer.h"

namespace {

using Failure = ExportComposer::Failure;

// A display of `points` at `scale` whose capture has a different colour in every pixel.
DisplayCapture captureOf(Size points, double scale) {
    QImage image(int(points.width * scale), int(points.height * scale), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = qRgb(x & 255, y & 255, (x >> 8) | (y >> 8) << 4);
    }
    return {ScreenDescriptor{7, Rect(0, 0, points.width, points.height), scale}, image};
}

Annotation make(Annotation::Kind kind, QList<Point> points, Thickness t = Thickness::medium,
                QString text = {}) {
    Annotation a;
    a.kind = kind;
    a.points = points;
    a.thickness = t;
    a.color = AnnotationColor::green;
    a.text = text;
    return a;
}

int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// "" when both show the same opaque pixels (each channel within `tolerance`), else where they
// first differ.
std::string difference(const QImage& a, const QImage& b, int tolerance = 0) {
    if (a.size() != b.size()) return "sizes differ";
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col)
            if (channelDistance(x.pixel(col, row), y.pixel(col, row)) > tolerance)
                return QString("pixel %1,%2: %3 vs %4")
                    .arg(col)
                    .arg(row)
                    .arg(x.pixel(col, row), 8, 16)
                    .arg(y.pixel(col, row), 8, 16)
                    .toStdString();
    return {};
}

}  // namespace

TEST(ExportComposer, CropsTheSelectionsPixelsRoundingHalvesAwayFromZero) {
    struct Case {
        const char* name;
        Size display;
        double scale;
        Rect selection;
        QRect pixels;
    };
    const QList<Case> cases{
        {"2x, 900 high", {400, 900}, 2, Rect(100, 200, 300, 150), QRect(200, 1100, 600, 300)},
        {"x 10.25 starts at pixel 21",
         {400, 900},
         2,
         Rect(10.25, 0, 50, 50),
         QRect(21, 1700, 100, 100)},
        {"1 x 1 point", {400, 900}, 2, Rect(5, 5, 1, 1), QRect(10, 1788, 2, 2)},
        {"negative size is standardised",
         {400, 300},
         1,
         Rect(60, 50, -40, -30),
         QRect(20, 250, 40, 30)},
        {"cut at the left and bottom",
         {400, 300},
         1,
         Rect(-50, -20, 100, 40),
         QRect(0, 280, 50, 20)},
        {"cut at the right and top",
         {400, 300},
         1.5,
         Rect(350, 250, 100, 100),
         QRect(525, 0, 75, 75)},
        {"halves of 1.5x", {400, 300}, 1.5, Rect(1, 1, 3, 3), QRect(2, 444, 5, 5)},
    };
    for (const Case& c : cases) {
        const DisplayCapture capture = captureOf(c.display, c.scale);
        const auto image = ExportComposer::compose(capture, c.selection, {});
        ASSERT_TRUE(image.has_value()) << c.name;
        EXPECT_EQ(image->size(), c.pixels.size()) << c.name;
        EXPECT_EQ(image->format(), QImage::Format_RGBA8888_Premultiplied) << c.name;
        EXPECT_EQ(image->colorSpace(), QColorSpace(QColorSpace::SRgb)) << c.name;
        EXPECT_EQ(difference(*image, capture.image.copy(c.pixels)), "") << c.name;
    }
}

TEST(ExportComposer, RefusesEmptyAndOutsideSelections) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const DisplayCapture capture = captureOf({400, 300}, 2);
    DisplayCapture blank = capture;
    blank.image = QImage();
    struct Case {
        const char* name;
        DisplayCapture capture;
        Rect selection;
        Failure failure;
    };
    const QList<Case> cases{
        {"half a point wide", capture, Rect(10, 10, 0.5, 100), Failure::emptySelection()},
        {"no height", capture, Rect(10, 10, 100, 0), Failure::emptySelection()},
        {"NaN width", capture, Rect(10, 10, nan, 100), Failure::emptySelection()},
        {"entirely left", capture, Rect(-200, 10, 100, 100), Failure::outsideCapture()},
        {"entirely above", capture, Rect(10, 300, 100, 100), Failure::outsideCapture()},
        {"far away", capture, Rect(1e12, -1e12, 1e9, 1e9), Failure::outsideCapture()},
        {"overlap under a pixel", capture, Rect(-5, 10, 5.2, 100), Failure::outsideCapture()},
        {"infinite origin", capture, Rect(-inf, 10, 100, 100), Failure::outsideCapture()},
        {"infinite size", capture, Rect(0, 0, inf, inf), Failure::outsideCapture()},
        {"empty image", blank, Rect(10, 10, 100, 100), Failure::outsideCapture()},
    };
    for (const Case& c : cases) {
        const auto image = ExportComposer::compose(c.capture, c.selection, {});
        ASSERT_FALSE(image.has_value()) << c.name;
        EXPECT_EQ(image.error(), c.failure) << c.name;
    }
    EXPECT_EQ(Failure::emptySelection().description(), "La sélection est vide.");
    EXPECT_EQ(Failure::outsideCapture().description(), "La sélection est en dehors de la capture.");
    EXPECT_EQ(Failure::contextUnavailable().description(), "Impossible de préparer l'image.");
}

TEST(ExportComposer, BurnsInAnnotationsExactlyAsTheOverlayDrawsThem) {
    const DisplayCapture capture = captureOf({400, 300}, 2);
    using K = Annotation::Kind;
    const QList<Annotation> annotations{
        make(K::pixelate, {{110, 110}, {190, 160}}, Thickness::thin),
        make(K::highlighter, {{120, 150}, {260, 170}}),
        make(K::rectangle, {{105, 105}, {200, 180}}),
        make(K::arrow, {{110, 120}, {280, 190}}, Thickness::thick),
        make(K::freehand, {{150, 120}, {180, 150}, {210, 120}, {240, 150}}),
        make(K::text, {{200, 190}}, Thickness::medium, "Été"),
    };
    // The overlay: the whole display in view space at its scale.
    QImage overlay = capture.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&overlay);
        p.scale(2, 2);
        p.translate(0, 300);
        p.scale(1, -1);
        const Rect selection(100, 100, 200, 100);
        p.setClipRect(selection.toQt());
        AnnotationRenderer(capture.image, {400, 300}, 2).draw(annotations, p);
    }
    const auto image = ExportComposer::compose(capture, Rect(100, 100, 200, 100), annotations);
    ASSERT_TRUE(image.has_value());
    // Antialiased edges may round differently in the two pixel formats.
    EXPECT_EQ(difference(*image, overlay.copy(200, 200, 400, 200), 1), "");
    // The rectangle's outer edge at x = 105 points lands on output column 10.
    const QRgb green = cgColor(AnnotationColor::green).rgb();
    EXPECT_EQ(image->pixelColor(10, 100).rgb(), green);
    EXPECT_NE(image->pixelColor(9, 100).rgb(), green);
}

TEST(ExportComposer, CaptureFormatAndPixelRatioDoNotChangeTheResult) {
    const DisplayCapture capture = captureOf({200, 100}, 2);
    const QList<Annotation> annotations{
        make(Annotation::Kind::pixelate, {{20, 20}, {90, 70}}),
        make(Annotation::Kind::arrow, {{10, 10}, {150, 80}}, Thickness::thick)};
    const Rect selection(5, 5, 180, 90);
    const auto reference = ExportComposer::compose(capture, selection, annotations);
    ASSERT_TRUE(reference.has_value());
    for (auto format : {QImage::Format_RGB32, QImage::Format_RGB888,
                        QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBA8888}) {
        DisplayCapture other = capture;
        other.image = capture.image.convertToFormat(format);
        other.image.setDevicePixelRatio(2);  // as a grab of a 2x screen is tagged
        const auto image = ExportComposer::compose(other, selection, annotations);
        ASSERT_TRUE(image.has_value()) << int(format);
        EXPECT_EQ(image->devicePixelRatio(), 1);
        EXPECT_EQ(difference(*image, *reference, 1), "") << "format " << int(format);
    }
}

TEST(ExportComposer, AnnotationsAreCutAtTheSelectionsEdge) {
    // On 2x, x 10.25 and width 10.25 give pixels 21 to 41; pixel 41 (points 20.5 to 21) lies
    // outside the selection, which ends at 20.5.
    const DisplayCapture capture = captureOf({100, 100}, 2);
    const Rect selection(10.25, 10, 10.25, 20);
    const auto image = ExportComposer::compose(
        capture, selection,
        {make(Annotation::Kind::highlighter, {{0, 0}, {100, 100}}),
         make(Annotation::Kind::arrow, {{15, 20}, {90, 20}}, Thickness::thick)});
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(image->width(), 21);
    const QImage raw = capture.image.copy(21, 140, 21, 40);
    for (int y = 0; y < image->height(); ++y) {
        EXPECT_EQ(image->pixelColor(20, y).rgb(), raw.pixel(20, y)) << "row " << y;
        EXPECT_NE(image->pixelColor(19, y).rgb(), raw.pixel(19, y)) << "row " << y;
    }
    EXPECT_EQ(image->pixelColor(19, 20).rgb(), cgColor(AnnotationColor::green).rgb());
}

TEST(ExportComposer, RunsOnSeveralThreadsAtOnceWithTheSameResult) {
    const DisplayCapture capture = captureOf({800, 600}, 2);
    const QList<Annotation> annotations{
        make(Annotation::Kind::pixelate, {{10, 10}, {400, 300}}),
        make(Annotation::Kind::text, {{20, 290}}, Thickness::thick, "x")};
    const Rect selection(0, 0, 500, 400);
    QList<QFuture<std::expected<QImage, Failure>>> runs;
    for (int i = 0; i < 4; ++i)
        runs.append(QtConcurrent::run(
            [&] { return ExportComposer::compose(capture, selection, annotations); }));
    const auto first = ExportComposer::compose(capture, selection, annotations);
    ASSERT_TRUE(first.has_value());
    for (auto& run : runs) {
        const auto result = run.result();
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, *first);
    }
}

TEST(ExportAction, RawValuesAreTheCodedFormAndDecodingIsExact) {
    EXPECT_EQ(allExportActions(), (QList<ExportAction>{ExportAction::copy, ExportAction::save}));
    EXPECT_EQ(rawValue(ExportAction::copy), "copy");
    EXPECT_EQ(rawValue(ExportAction::save), "save");
    EXPECT_EQ(exportAction("copy"), ExportAction::copy);
    EXPECT_EQ(exportAction("save"), ExportAction::save);
    for (const char* raw : {"Save", "COPY", "", " save", "save ", "\"save\"", "enregistrer"})
        EXPECT_EQ(exportAction(raw), std::nullopt) << raw;
    EXPECT_EQ(confirmation(ExportAction::copy), "Copié dans le presse-papiers");
    EXPECT_EQ(confirmation(ExportAction::save), "Enregistré");
}
