// Copy of a finished selection, the way the application delivers it: at onComplete the
// clipboard is taken and a 1920x1080-point selection of a 2x capture (3840x2160 pixels) is
// composed and encoded on workers, while another application pastes image/png at once. Later
// pastes of the same copy alternate with pastes of the same bytes served by xclip (on the
// primary selection, so both owners serve side by side), all read the same way on a private
// Xvfb, by a reader in a process of its own as another application is (this program started
// again with --reader): what is left beside xclip is the owner's own answer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <xcb/xcb.h>
#include <zlib.h>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include "BenchFutures.h"
#include "Export/ClipboardExporter.h"
#include "Export/ExportComposer.h"
#include "Export/PendingImageMimeData.h"
#include "Export/PngWriter.h"
#include "Platform/X11/X11ClipboardServer.h"

#include "BenchContent.h"
#include "SelectionReader.h"

namespace {

constexpr int rounds = 9;
constexpr int laterPerRound = 3;
using Clock = SelectionReader::Clock;

// Processor time of every thread of this process: the work, whatever the load.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Series {
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    double at(double p) const {
        auto v = values;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
    }
    void print(const char* what) const {
        std::printf("  %-50s median %6.1f ms, p95 %6.1f ms, min %6.1f ms (%zu)\n", what, at(0.5),
                    at(0.95), at(0), values.size());
    }
};

quint32 checksum(const QByteArray& bytes) {
    return quint32(
        crc32_z(0, reinterpret_cast<const Bytef*>(bytes.constData()), size_t(bytes.size())));
}

qint64 sinceEpoch(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// The reader process: for each line "SELECTION TARGET [FILE]" on its input, one paste, and one
// line of figures on its output (the steady clock is the system's, shared by both processes).
int readerMain() {
    SelectionReader reader(nullptr);
    char selection[64], target[64], file[4096];
    char line[8192];
    while (std::fgets(line, sizeof line, stdin)) {
        file[0] = 0;
        if (std::sscanf(line, "%63s %63s %4095s", selection, target, file) < 2) continue;
        const auto p = reader.paste(reader.atom(selection), reader.atom(target));
        if (file[0]) {
            QFile out(QString::fromLocal8Bit(file));
            if (out.open(QIODevice::WriteOnly)) out.write(p.bytes);
        }
        std::printf("%d %lld %lld %lld %d %d %lld %.3f %u %lld\n", p.ok, sinceEpoch(p.asked),
                    sinceEpoch(p.answered), sinceEpoch(p.complete), p.incremental, p.chunks,
                    qint64(p.largestChunk), p.longestChunkWaitMs, checksum(p.bytes),
                    qint64(p.bytes.size()));
        std::fflush(stdout);
    }
    return 0;
}

// What the reader process reports of a paste: the bytes themselves only by their checksum.
struct Pasted {
    SelectionReader::Paste paste;  // without its bytes
    quint32 checksum = 0;
    qint64 size = 0;
    bool sameAs(const Pasted& o) const { return checksum == o.checksum && size == o.size; }
};

class ReaderProcess {
public:
    bool start() {
        m_process.start(QCoreApplication::applicationFilePath(), {"--reader"});
        return m_process.waitForStarted();
    }
    ~ReaderProcess() {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000)) m_process.kill();
    }
    // Pastes while this thread's event loop serves the clipboard; the bytes go to `file` if named.
    Pasted paste(const char* selection, const char* target, const QString& file = {}) {
        m_process.write(QStringLiteral("%1 %2 %3\n").arg(selection, target, file).toLocal8Bit());
        QEventLoop loop;
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
        QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
        while (!m_process.canReadLine() && m_process.state() == QProcess::Running) loop.exec();
        Pasted r;
        int ok = 0, incremental = 0;
        long long asked = 0, answered = 0, complete = 0, largest = 0, size = 0;
        unsigned sum = 0;
        const QByteArray line = m_process.readLine();
        if (std::sscanf(line.constData(), "%d %lld %lld %lld %d %d %lld %lf %u %lld", &ok, &asked,
                        &answered, &complete, &incremental, &r.paste.chunks, &largest,
                        &r.paste.longestChunkWaitMs, &sum, &size) != 10)
            return r;
        auto at = [](long long ns) { return Clock::time_point(std::chrono::nanoseconds(ns)); };
        r.paste.ok = ok;
        r.paste.asked = at(asked), r.paste.answered = at(answered), r.paste.complete = at(complete);
        r.paste.incremental = incremental;
        r.paste.largestChunk = largest;
        r.checksum = sum, r.size = size;
        return r;
    }

private:
    QProcess m_process;
};

struct Figures {
    Series answered, first, firstCpu, later, peer, peerProcess, laterProcess;
    Series laterAnswer, peerAnswer;  // ConvertSelection -> SelectionNotify
    Series laterFaults, peerFaults;  // in the X server, per paste
    SelectionReader::Paste lastOurs, lastPeer;
};

// `xclip -o` as the reader, the paste a user's shell makes: its own start-up included.
std::optional<double> xclipPaste(const char* selection, qint64 expected) {
    QElapsedTimer timer;
    timer.start();
    QProcess p;
    p.start("xclip", {"-selection", selection, "-t", "image/png", "-o"});
    // Served by this thread's event loop meanwhile.
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    if (p.state() != QProcess::NotRunning) loop.exec();
    if (p.readAllStandardOutput().size() != expected) return std::nullopt;
    return timer.nsecsElapsed() / 1e6;
}

// xclip serving the file the first paste was saved to.
bool startPeer(QProcess& peer, const QString& file, SelectionReader& r) {
    // -quiet keeps xclip in the foreground, so it can be stopped.
    peer.start("xclip", {"-quiet", "-selection", "primary", "-t", "image/png", "-i", file});
    peer.setStandardOutputFile(QProcess::nullDevice());
    for (int i = 0; i < 200 && !r.owned(XCB_ATOM_PRIMARY); ++i) QThread::msleep(10);
    return r.owned(XCB_ATOM_PRIMARY);
}

qint64 xvfbPid = 0;

// Page faults the X server has taken so far.
qint64 serverFaults() {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(xvfbPid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 7 ? fields[7].toLongLong() : 0;
}

double span(const SelectionReader::Paste& p) {
    return ms(p.complete - p.asked);
}

bool oneRound(const DisplayCapture& capture, ClipboardExporter& exporter, SelectionReader& reader,
              ReaderProcess& paster, QProcess& peer, const QString& dir, Figures& f) {
    const QString file = dir + "/copy.png";
    const double cpuStart = cpuMs();
    const auto onComplete = Clock::now();
    auto done = exporter.exportPending(QtConcurrent::run([&capture] {
        auto image = ExportComposer::compose(capture, Rect(0, 0, 1920, 1080), {});
        if (!image)
            return std::expected<QImage, AnyError>(std::unexpected(AnyError(image.error())));
        return std::expected<QImage, AnyError>(std::move(*image));
    }));
    const bool peerRunning = peer.state() != QProcess::NotRunning;
    const Pasted first = paster.paste("CLIPBOARD", "image/png", peerRunning ? QString() : file);
    if (!first.paste.ok) return false;
    f.answered.add(ms(first.paste.answered - onComplete));
    f.first.add(ms(first.paste.complete - onComplete));
    f.firstCpu.add(cpuMs() - cpuStart);
    runUntilFinished(done);
    if (!done.result()) return false;
    if (!peerRunning && !startPeer(peer, file, reader)) return false;
    for (int i = 0; i < laterPerRound; ++i) {
        // Alternated, so that both owners meet the same load.
        const qint64 faultsBefore = serverFaults();
        const Pasted oursPasted = paster.paste("CLIPBOARD", "image/png");
        const qint64 faultsBetween = serverFaults();
        const Pasted theirsPasted = paster.paste("PRIMARY", "image/png");
        f.laterFaults.add(double(faultsBetween - faultsBefore));
        f.peerFaults.add(double(serverFaults() - faultsBetween));
        if (!oursPasted.sameAs(first) || !theirsPasted.sameAs(first)) return false;
        const auto &ours = oursPasted.paste, &theirs = theirsPasted.paste;
        if (!ours.ok || !theirs.ok) return false;
        f.later.add(span(ours));
        f.peer.add(span(theirs));
        f.laterAnswer.add(ms(ours.answered - ours.asked));
        f.peerAnswer.add(ms(theirs.answered - theirs.asked));
        f.lastOurs = ours, f.lastPeer = theirs;
        const auto oursXclip = xclipPaste("clipboard", first.size);
        const auto theirsXclip = xclipPaste("primary", first.size);
        if (!oursXclip || !theirsXclip) return false;
        f.laterProcess.add(*oursXclip);
        f.peerProcess.add(*theirsXclip);
    }
    return true;
}

void describe(const char* who, const SelectionReader::Paste& p) {
    std::printf(
        "  %-8s answered %s: %d chunk(s), largest %.0f KiB, longest wait for a chunk %.1f ms\n",
        who, p.incremental ? "with INCR" : "in one property", p.chunks, p.largestChunk / 1024.0,
        p.longestChunkWaitMs);
}

// One way of serving the copy: Qt's own, or Tessik's server with chunks of this size.
struct Serving {
    const char* title;
    int chunkBytes = 0;  // 0: Qt serves
};

void benchCopy(const DisplayCapture& capture, const QString& dir, const Serving& serving) {
    std::unique_ptr<X11ClipboardServer> server;
    if (serving.chunkBytes > 0)
        server = X11ClipboardServer::start(&PendingImageMimeData::onClipboard,
                                           {.chunkBytes = serving.chunkBytes});
    std::printf("\n%s\n", serving.title);
    ClipboardExporter exporter;
    SelectionReader reader(qgetenv("DISPLAY").constData());
    ReaderProcess paster;
    if (!paster.start()) {
        std::printf("  the reader process did not start: NOT MEASURED\n");
        return;
    }
    QProcess peer;
    Figures f;
    for (int i = 0; i < rounds; ++i) {
        if (!oneRound(capture, exporter, reader, paster, peer, dir, f)) {
            std::printf("  round %d: a paste failed or gave other bytes: NOT MEASURED\n", i);
            break;
        }
    }
    peer.kill();
    peer.waitForFinished();
    if (f.later.values.empty()) return;
    std::printf(" Pasted by a client on its own connection (ConvertSelection, property, INCR):\n");
    f.answered.print("onComplete -> owner answers the first paste");
    f.first.print("onComplete -> first paste of image/png complete");
    f.firstCpu.print("  processor time meanwhile, all threads");
    f.later.print("every later paste, Tessik");
    f.peer.print("the same bytes served by xclip, this run");
    f.laterAnswer.print("  of which until Tessik answers");
    f.peerAnswer.print("  of which until xclip answers");
    std::printf(
        "  later pastes: Tessik / xclip = %.2f (medians); X server page faults per paste: "
        "%.0f for Tessik, %.0f for xclip\n",
        f.later.at(0.5) / f.peer.at(0.5), f.laterFaults.at(0.5), f.peerFaults.at(0.5));
    describe("Tessik", f.lastOurs);
    describe("xclip", f.lastPeer);
    std::printf(" Pasted by `xclip -o` (its start-up included):\n");
    f.laterProcess.print("every later paste, Tessik");
    f.peerProcess.print("the same bytes served by xclip, this run");
    std::printf("  later pastes: Tessik / xclip = %.2f (medians)\n",
                f.laterProcess.at(0.5) / f.peerProcess.at(0.5));
}

// A private X server, or nothing when Xvfb or xclip is missing.
std::unique_ptr<QProcess> startXvfb() {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
        QStandardPaths::findExecutable("xclip").isEmpty())
        return nullptr;
    for (int n = 420; n < 480; ++n) {
        if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
            QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        auto xvfb = std::make_unique<QProcess>();
        const QString display = QStringLiteral(":%1").arg(n);
        xvfb->start("Xvfb", {display, "-screen", "0", "1920x1080x24", "-nolisten", "tcp"});
        for (int wait = 0; wait < 100; ++wait) {
            xcb_connection_t* c = xcb_connect(display.toUtf8().constData(), nullptr);
            const bool up = !xcb_connection_has_error(c);
            xcb_disconnect(c);
            if (up) {
                qputenv("DISPLAY", display.toUtf8());
                return xvfb;
            }
            QThread::msleep(50);
        }
        xvfb->kill();
        xvfb->waitForFinished();
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--reader") == 0) return readerMain();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    auto xvfb = startXvfb();
    if (!xvfb) {
        std::printf("bench_copy: needs Xvfb and xclip: NOT MEASURED\n");
        return 0;
    }
    xvfbPid = xvfb->processId();
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf(
        "bench_copy: copy of a 3840x2160 selection; load average %.2f %.2f %.2f (2 cores)\n",
        load[0], load[1], load[2]);
    QTemporaryDir dir;
    const DisplayCapture capture{ScreenDescriptor{1, Rect(0, 0, 1920, 1080), 2},
                                 realisticScreenshot(3840, 2160, dir.path())};
    std::printf(
        "PNG of the selection %.2f MB; goals: first paste under 150 ms, later ones within "
        "10 %% of xclip\n",
        PngWriter::encoded(*ExportComposer::compose(capture, Rect(0, 0, 1920, 1080), {}))->size() /
            1e6);
    const Serving servings[] = {
        {"Served by Qt's clipboard (one property up to the largest request)", 0},
        {"Served by Tessik's X11 server, 1 MiB chunks (the application's, as xclip's)",
         1024 * 1024},
        {"Served by Tessik's X11 server, 256 KiB chunks", 256 * 1024},
    };
    for (const Serving& s : servings) benchCopy(capture, dir.path(), s);
    getloadavg(load, 3);
    std::printf("  load average at the end %.2f\n", load[0]);
    xvfb->terminate();
    xvfb->waitForFinished();
    return 0;
}
