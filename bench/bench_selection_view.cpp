// Paint time of the selection view on a 2x display of 2560 x 1440 points (5120 x 2880 pixels)
// with a 1600 x 900-point selection holding 10 annotations (two of them pixelations): one
// pointer move, and one drag step while drawing a rectangle. Each paint covers exactly the
// region the view marks for that event, painted the way the window system would (the frozen
// image beneath, the overlay drawing, the tool bar where it is hit).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include "Annotation/AnnotationToolbar.h"
#include "Overlay/SelectionView.h"

namespace {

constexpr double kScale = 2;
const Size kView{2560, 1440};
const Rect kSelection(480, 270, 1600, 900);

QImage makeCapture() {
    // A busy, photo-like frame: gradients with noise, so that pixelation averages real data.
    QImage img(int(kView.width * kScale), int(kView.height * kScale), QImage::Format_RGB32);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> noise(0, 40);
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            row[x] = qRgb((x / 20 + noise(rng)) & 255, (y / 12 + noise(rng)) & 255,
                          ((x + y) / 40) & 255);
    }
    return img;
}

void send(SelectionView& view, QEvent::Type type, Point p, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
    const QPointF local(p.x, view.bounds().height() - p.y);
    QMouseEvent e(type, local, local, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&view, &e);
}

void dragOut(SelectionView& view, Point from, Point to) {
    send(view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(view, QEvent::MouseMove, {(from.x + to.x) / 2, (from.y + to.y) / 2}, Qt::NoButton,
         Qt::LeftButton);
    send(view, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(view, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

void annotate(SelectionView& view) {
    using enum Annotation::Kind;
    auto mode = [&](Annotation::Kind k) {
        view.toolbar()->callbacks.selectMode(AnnotationMode::annotate(k));
    };
    const double x0 = kSelection.minX(), y0 = kSelection.minY();
    mode(pixelate);
    dragOut(view, {x0 + 100, y0 + 100}, {x0 + 500, y0 + 400});
    dragOut(view, {x0 + 900, y0 + 450}, {x0 + 1400, y0 + 800});
    mode(rectangle);
    dragOut(view, {x0 + 80, y0 + 500}, {x0 + 600, y0 + 850});
    dragOut(view, {x0 + 700, y0 + 60}, {x0 + 1500, y0 + 380});
    mode(arrow);
    dragOut(view, {x0 + 650, y0 + 700}, {x0 + 850, y0 + 500});
    dragOut(view, {x0 + 1500, y0 + 100}, {x0 + 1100, y0 + 300});
    mode(highlighter);
    dragOut(view, {x0 + 200, y0 + 420}, {x0 + 800, y0 + 460});
    view.toolbar()->callbacks.selectThickness(Thickness::thick);
    mode(freehand);
    send(view, QEvent::MouseButtonPress, {x0 + 300, y0 + 600}, Qt::LeftButton, Qt::LeftButton);
    for (int i = 0; i < 120; ++i)
        send(view, QEvent::MouseMove, {x0 + 300 + 4 * i, y0 + 600 + 60 * std::sin(i / 8.0)},
             Qt::NoButton, Qt::LeftButton);
    send(view, QEvent::MouseButtonRelease, {x0 + 780, y0 + 600}, Qt::LeftButton, Qt::NoButton);
    mode(text);
    send(view, QEvent::MouseButtonPress, {x0 + 1000, y0 + 850}, Qt::LeftButton, Qt::LeftButton);
    send(view, QEvent::MouseButtonRelease, {x0 + 1000, y0 + 850}, Qt::LeftButton, Qt::NoButton);
    if (view.textField()) view.textField()->insert(QStringLiteral("Regardez ici"));
    view.toolbar()->callbacks.selectThickness(Thickness::medium);
    mode(freehand);  // commits the text
    send(view, QEvent::MouseButtonPress, {x0 + 1200, y0 + 200}, Qt::LeftButton, Qt::LeftButton);
    for (int i = 0; i < 60; ++i)
        send(view, QEvent::MouseMove, {x0 + 1200 + 3 * i, y0 + 200 + 2 * i}, Qt::NoButton,
             Qt::LeftButton);
    send(view, QEvent::MouseButtonRelease, {x0 + 1380, y0 + 320}, Qt::LeftButton, Qt::NoButton);
}

struct Stats {
    double median, p95, cpuMedian;
    double markedMegapixels;
};

// CPU time of the process (Qt spreads some image work over threads): on a shared, loaded
// machine wall time also counts the waits for a core.
double processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

template <class Step>
Stats measure(SelectionView& view, QImage& backing, int runs, Step step) {
    std::vector<double> ms, cpu;
    double pixels = 0;
    for (int i = -5; i < runs; ++i) {
        step(i);
        const QRegion region = view.lastInvalidation();
        QElapsedTimer t;
        const double cpu0 = processCpuMs();
        t.start();
        QPainter painter(&backing);
        view.render(&painter, region.boundingRect().topLeft(), region, QWidget::DrawChildren);
        painter.end();
        const double elapsed = t.nsecsElapsed() / 1e6;
        const double cpuElapsed = processCpuMs() - cpu0;
        if (i < 0) continue;  // warm-up
        ms.push_back(elapsed);
        cpu.push_back(cpuElapsed);
        for (const QRect& r : region) pixels += double(r.width()) * r.height() * kScale * kScale;
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    return {ms[ms.size() / 2], ms[size_t(0.95 * (ms.size() - 1))], cpu[cpu.size() / 2],
            pixels / ms.size() / 1e6};
}

void report(const char* what, const Stats& s) {
    std::printf("%-46s median %6.2f ms  p95 %6.2f ms  (cpu median %6.2f ms; %.2f Mpx marked)\n",
                what, s.median, s.p95, s.cpuMedian, s.markedMegapixels);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = 61;

    SelectionView view(Rect(0, 0, kView.width, kView.height), makeCapture(), kScale);
    view.setPaintsFrozenImage(true);
    // The window's backing store: one pre-faulted 5120 x 2880 buffer reused by every paint.
    QImage backing(int(kView.width * kScale), int(kView.height * kScale),
                   QImage::Format_ARGB32_Premultiplied);
    backing.setDevicePixelRatio(kScale);
    backing.fill(Qt::black);

    dragOut(view, kSelection.origin, {kSelection.maxX(), kSelection.maxY()});
    annotate(view);
    view.toolbar()->callbacks.selectMode(AnnotationMode::select());
    std::printf(
        "selection %s, %lld annotations\n",
        qPrintable(QStringLiteral("%1 x %2").arg(kSelection.width()).arg(kSelection.height())),
        static_cast<long long>(view.annotations().items.size()));

    const Point c{kSelection.midX(), kSelection.midY()};
    report("pointer move over a 1600x900 selection (2x)", measure(view, backing, runs, [&](int i) {
               send(view, QEvent::MouseMove, {c.x + 7 * (i % 40), c.y + 3 * (i % 40)}, Qt::NoButton,
                    Qt::NoButton);
           }));

    view.toolbar()->callbacks.selectMode(AnnotationMode::annotate(Annotation::Kind::rectangle));
    const Point from{kSelection.minX() + 300, kSelection.minY() + 200};
    send(view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    report("drag step while drawing a rectangle", measure(view, backing, runs, [&](int i) {
               send(view, QEvent::MouseMove, {from.x + 400 + 5 * i, from.y + 250 + 3 * i},
                    Qt::NoButton, Qt::LeftButton);
           }));
    send(view, QEvent::MouseButtonRelease, {from.x + 700, from.y + 430}, Qt::LeftButton,
         Qt::NoButton);

    // The worst case: the whole selection changes (here it is dragged along), so all of it is
    // repainted, pixelations included.
    view.toolbar()->callbacks.selectMode(AnnotationMode::select());
    send(view, QEvent::MouseButtonPress, c, Qt::LeftButton, Qt::LeftButton);
    report("drag step while moving the selection", measure(view, backing, runs, [&](int i) {
               send(view, QEvent::MouseMove, {c.x + (i % 2 ? 2 : -2), c.y}, Qt::NoButton,
                    Qt::LeftButton);
           }));
    send(view, QEvent::MouseButtonRelease, c, Qt::LeftButton, Qt::NoButton);

    view.clearSelection();
    report("pointer move, no selection (crosshair)", measure(view, backing, runs, [&](int i) {
               send(view, QEvent::MouseMove, {300.0 + 11 * i, 200.0 + 7 * i}, Qt::NoButton,
                    Qt::NoButton);
           }));
    return 0;
}
