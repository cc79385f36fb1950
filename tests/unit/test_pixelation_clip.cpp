#include <gtest/gtest.h>

#include <QPainter>

#include "Annotation/AnnotationRenderer.h"

namespace {

// A pixelation drawn under a clip must show, inside the clip, exactly what the whole
// pixelation shows there: the clipped draw computes only some of the blocks.
TEST(PixelationUnderClip, ShowsTheSameBlocksAsTheWhole) {
    struct Case {
        double scale;
        Rect annotation;  // view space
        Rect clip;
        Thickness thickness;
    };
    const Case cases[] = {
        {2, Rect(20, 30, 150, 100), Rect(60, 50, 37, 23), Thickness::medium},
        {2, Rect(20, 30, 150, 100), Rect(0, 0, 25, 300), Thickness::thick},
        {1, Rect(10.5, 7.25, 181, 133), Rect(100.5, 90.5, 200, 200), Thickness::thin},
        {1.5, Rect(33, 41, 120, 90), Rect(70, 60, 11, 13), Thickness::medium},
        {1.5, Rect(34, 40, 120, 90), Rect(70, 60, 11, 13), Thickness::thin},  // on pixels
        {2, Rect(150, 100, 200, 200), Rect(160, 110, 30, 30),
         Thickness::thick},  // past the capture
    };
    for (const Case& c : cases) {
        const Size view{200, 150};
        QImage capture(int(view.width * c.scale), int(view.height * c.scale), QImage::Format_RGB32);
        for (int y = 0; y < capture.height(); ++y)
            for (int x = 0; x < capture.width(); ++x)
                capture.setPixel(x, y, qRgb((x * 7) % 256, (y * 13) % 256, (x * y) % 256));
        const AnnotationRenderer renderer(capture, view, c.scale);
        Annotation a;
        a.kind = Annotation::Kind::pixelate;
        a.thickness = c.thickness;
        a.points = {c.annotation.origin, {c.annotation.maxX(), c.annotation.maxY()}};

        const auto draw = [&](bool clipped) {
            QImage out(capture.size(), QImage::Format_ARGB32_Premultiplied);
            out.setDevicePixelRatio(c.scale);
            out.fill(Qt::black);
            QPainter p(&out);
            p.translate(0, view.height);
            p.scale(1, -1);
            if (clipped) p.setClipRect(c.clip.toQt());
            renderer.draw({a}, p);
            return out;
        };
        const QImage whole = draw(false), part = draw(true);
        // One pixel in from the clip's edge: a fractional clip edge is rounded by the painter.
        const QRect clipPixels = pixelRect(c.clip, c.scale, view.height)
                                     .adjusted(1, 1, -1, -1)
                                     .intersected(whole.rect());
        int differing = 0, shown = 0;
        for (int y = clipPixels.top(); y <= clipPixels.bottom(); ++y)
            for (int x = clipPixels.left(); x <= clipPixels.right(); ++x) {
                if (whole.pixel(x, y) != part.pixel(x, y)) ++differing;
                if (part.pixel(x, y) != qRgb(0, 0, 0)) ++shown;
            }
        EXPECT_EQ(differing, 0) << c.scale << " " << c.clip.minX();
        EXPECT_GT(shown, 0) << c.scale << " " << c.clip.minX();
    }
}

}  // namespace
