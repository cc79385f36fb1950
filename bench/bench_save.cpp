// Save of a finished selection, the way the application delivers it: a 1920x1080-point
// selection of a 2x capture (3840x2160 pixels) composed on a worker, then written to a file
// until it is renamed into place; beside it, in the same run, the same selection saved by Qt's
// default writer (libpng at zlib's default level). The copy is bench_copy's.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

#include "BenchFutures.h"
#include "Export/ExportComposer.h"
#include "Export/FileExporter.h"

#include "BenchContent.h"

namespace {

constexpr int runs = 9;

struct Timing {
    double first = 0;
    double median = 0;
    double p95 = 0;
    double best = 0;
};

Timing summarise(std::vector<double> ms) {
    const double first = ms.front();
    std::sort(ms.begin(), ms.end());
    const size_t p95 = std::min(ms.size() - 1, size_t(0.95 * double(ms.size() - 1) + 0.5));
    return {first, ms[ms.size() / 2], ms[p95], ms.front()};
}

// Processor time of every thread of this process: what the work costs whatever the load.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double medianOf(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void line(const char* what, Timing t) {
    std::printf("  %-46s median %7.1f ms, p95 %7.1f (first %7.1f, best %7.1f)\n", what, t.median,
                t.p95, t.first, t.best);
}

QImage composeOnWorker(const DisplayCapture& capture) {
    auto future = QtConcurrent::run(
        [&capture] { return *ExportComposer::compose(capture, Rect(0, 0, 1920, 1080), {}); });
    runUntilFinished(future);
    return future.result();
}

void waitFor(QFuture<ExportOutcome> future) {
    runUntilFinished(future);
    if (!future.result()) {
        std::printf("  export failed: %s\n", qPrintable(future.result().error().description()));
        std::exit(1);
    }
}

void benchSave(const DisplayCapture& capture, const QString& dir) {
    std::printf("Save: compose on a worker, encode PNG, write and rename into place\n");
    std::vector<double> ms, cpu, peer;
    qint64 size = 0, peerSize = 0;
    for (int i = 0; i < runs; ++i) {
        const QString folder = dir + QStringLiteral("/save%1").arg(i);
        QElapsedTimer timer;
        const double cpuStart = cpuMs();
        timer.start();
        const QImage image = composeOnWorker(capture);
        waitFor(FileExporter(folder).exportImage(image));
        ms.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(cpuMs() - cpuStart);
        size = QDir(folder).entryInfoList(QDir::Files).value(0).size();
        // Alternated, so that both meet the same load.
        const QString peerFile = dir + QStringLiteral("/qt%1.png").arg(i);
        timer.start();
        if (!composeOnWorker(capture).save(peerFile, "PNG")) {
            std::printf("  Qt's writer failed\n");
            std::exit(1);
        }
        peer.push_back(timer.nsecsElapsed() / 1e6);
        peerSize = QFileInfo(peerFile).size();
    }
    line("onComplete -> file in place", summarise(ms));
    std::printf("  processor time %.1f ms; PNG %.2f MB; goal: under 120 ms\n", medianOf(cpu),
                size / 1e6);
    line("Qt's default writer, same run (QImage::save)", summarise(peer));
    std::printf("  PNG %.2f MB\n\n", peerSize / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) > 0)
        std::printf("Load average when starting: %.2f (2 cores)\n\n", load[0]);
    QTemporaryDir dir;
    const DisplayCapture capture{ScreenDescriptor{1, Rect(0, 0, 1920, 1080), 2},
                                 realisticScreenshot(3840, 2160, dir.path())};
    benchSave(capture, dir.path());
    return 0;
}
