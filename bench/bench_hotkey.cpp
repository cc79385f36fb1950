// From the global shortcut to the overlay on every display: a private Xvfb with a realistic
// desktop on its root, tessik running in it, Ctrl+Shift+2 pressed, and a 16x16 probe at the
// centre of each monitor polled through GetImage until its pixels change (the overlay's dimming
// is up). Escape closes the overlays between runs. Measured the same way as the peers' figures.
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <thread>
#include <vector>

#include <xcb/xcb.h>
#ifdef TESSIK_HAVE_XTEST
#include <xcb/xtest.h>
#endif
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "Base/ResidentPages.h"
#include "Platform/X11/XcbHandles.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 9;
constexpr int kProbe = 16;
constexpr auto kTimeout = std::chrono::seconds(5);
constexpr int kIdleMs = 4000;

struct Monitor {
    const char* name;
    int width, height, x, y;
};

struct Layout {
    const char* title;
    const char* root;
    std::vector<Monitor> monitors;
};

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Runs a program to completion with the given DISPLAY; returns its exit status.
int run(const QStringList& argv, const QString& display) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start(argv.first(), argv.mid(1));
    if (!p.waitForFinished(60000)) return -1;
    return p.exitCode();
}

// X keycodes (evdev + 8) of the keys pressed.
constexpr quint8 kControl = 37, kShift = 50, kTwo = 11, kEscape = 9;

// Runs xdotool with these arguments and waits for it, without QProcess's own start-up.
[[maybe_unused]] void xdotool(std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, const_cast<char**>(argv.data()), environ) ==
        0)
        waitpid(pid, nullptr, 0);
}

// Presses the keys in order and releases them in reverse, as a user does. Through XTest on the
// bench's own connection when available (the key is on the server at once), else through xdotool
// (whose own start-up, about 50 ms here, is then included).
void pressKeys(xcb_connection_t* c, std::initializer_list<quint8> keys, const char* xdotoolKeys) {
#ifdef TESSIK_HAVE_XTEST
    (void)xdotoolKeys;
    for (const quint8 k : keys)
        xcb_test_fake_input(c, XCB_KEY_PRESS, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it)
        xcb_test_fake_input(c, XCB_KEY_RELEASE, *it, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(c);
#else
    (void)c;
    (void)keys;
    xdotool({"key", xdotoolKeys});
#endif
}

// Moves the pointer to a root position, as pressKeys presses keys.
void movePointer(xcb_connection_t* c, xcb_window_t root, int x, int y) {
#ifdef TESSIK_HAVE_XTEST
    xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, int16_t(x), int16_t(y), 0);
    xcb_flush(c);
#else
    (void)c;
    (void)root;
    const QByteArray xs = QByteArray::number(x), ys = QByteArray::number(y);
    xdotool({"mousemove", xs.constData(), ys.constData()});
#endif
}

QString desktopImage(int width, int height, const QString& dir) {
    const QString script = QStringLiteral(TESSIK_SOURCE_DIR "/bench/tools/gen_content.py");
    const QString out = dir + QStringLiteral("/desktop.png");
    if (QFileInfo::exists(script) &&
        QProcess::execute("/usr/bin/python3",
                          {script, QString::number(width), QString::number(height), out}) == 0)
        return out;
    std::printf("  (content generator unavailable: using a procedural desktop)\n");
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x * 255) / width, (y * 255) / height, int(random.bounded(256)));
    }
    image.save(out);
    return out;
}

std::optional<QByteArray> probe(xcb_connection_t* c, xcb_window_t root, const Monitor& m) {
    const int x = m.x + m.width / 2 - kProbe / 2, y = m.y + m.height / 2 - kProbe / 2;
    XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, x, y, kProbe, kProbe, ~0u), nullptr));
    if (!reply) return std::nullopt;
    return QByteArray(reinterpret_cast<const char*>(xcb_get_image_data(reply.get())),
                      xcb_get_image_data_length(reply.get()));
}

struct Times {
    std::vector<double> painted;  // per monitor
    double answered = -1;         // the pointer's crosshair drawn, when asked for
};

// Times from the trigger (by default the key) until every probe differs from its baseline; none
// on a time-out. With `answer`, the pointer then moves across the first monitor's probe, and the
// time until Tessik has drawn its crosshair there is taken too: the overlay is then not only on
// screen but handling input.
std::optional<Times> measureOnce(xcb_connection_t* c, xcb_window_t root,
                                 const std::vector<Monitor>& monitors,
                                 const std::function<void()>& trigger = {}, bool answer = false) {
    const Monitor& first = monitors.front();
    // Away from the probe, so that the crosshair only crosses it once the pointer moves.
    if (answer) movePointer(c, root, first.x + 8, first.y + 8);
    std::vector<QByteArray> baseline;
    for (const Monitor& m : monitors) baseline.push_back(probe(c, root, m).value_or(QByteArray()));
    std::vector<double> painted(monitors.size(), -1);
    const auto t0 = Clock::now();
    if (trigger)
        trigger();
    else
        pressKeys(c, {kControl, kShift, kTwo}, "ctrl+shift+2");
    size_t done = 0;
    while (done < monitors.size() && Clock::now() - t0 < kTimeout) {
        for (size_t i = 0; i < monitors.size(); ++i) {
            if (painted[i] >= 0) continue;
            if (probe(c, root, monitors[i]) != baseline[i]) {
                painted[i] = ms(Clock::now() - t0);
                ++done;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    double answered = -1;
    if (answer && done == monitors.size()) {
        const auto painted = probe(c, root, first);
        // Rows alternate inside the probe: the view may start with the crosshair where the
        // pointer last was in an earlier run.
        static int row = -3;
        row = -row;
        movePointer(c, root, first.x + first.width / 4, first.y + first.height / 2 + row);
        while (answered < 0 && Clock::now() - t0 < kTimeout) {
            if (probe(c, root, first) != painted) answered = ms(Clock::now() - t0);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
    // Close the overlays and wait until the desktop is back.
    pressKeys(c, {kEscape}, "Escape");
    const auto closing = Clock::now();
    for (size_t i = 0; i < monitors.size(); ++i)
        while (probe(c, root, monitors[i]) != baseline[i] && Clock::now() - closing < kTimeout)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (done < monitors.size()) return std::nullopt;
    return Times{painted, answered};
}

// Resident memory of a process in MiB, from /proc; 0 when unreadable.
double residentMiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

// Minor page faults a process has taken so far, from /proc; 0 when unreadable.
qint64 minorFaults(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command name (which may hold spaces): state is the first, minflt the 8th.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 7 ? fields[7].toLongLong() : 0;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

QProcessEnvironment peerEnvironment(const QString& display, const QString& dir) {
    QDir(dir).mkpath(".config/flameshot");
    QFile ini(dir + "/.config/flameshot/flameshot.ini");
    if (ini.open(QIODevice::WriteOnly)) ini.write("[General]\ndisabledTrayIcon=true\n");
    ini.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("HOME", dir);
    env.insert("XDG_CONFIG_HOME", dir + "/.config");
    env.insert("QT_QPA_PLATFORM", "xcb");  // the bench itself runs offscreen
    return env;
}

QString peerVersion() {
    QProcess p;
    p.start("flameshot", {"--version"});
    if (!p.waitForFinished(10000)) return QStringLiteral("?");
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const auto found = QRegularExpression(QStringLiteral("v?(\\d+\\.\\d+(\\.\\d+)?)")).match(out);
    return found.hasMatch() ? found.captured(1) : QStringLiteral("?");
}

// The peer's area capture as a desktop key binding starts it: its command run, until its overlay
// is painted on every display, measured here with the same probes; Escape closes it.
void peerCapture(xcb_connection_t* c, xcb_window_t root, const Layout& layout,
                 const QString& display, const QString& dir) {
    constexpr int peerRuns = 5;
    std::vector<double> all;
    for (int i = 0; i < peerRuns; ++i) {
        QProcess gui;
        gui.setProcessEnvironment(peerEnvironment(display, dir));
        gui.setStandardOutputFile(QProcess::nullDevice());
        gui.setStandardErrorFile(QProcess::nullDevice());
        const auto times =
            measureOnce(c, root, layout.monitors, [&] { gui.start("flameshot", {"gui"}); });
        if (!gui.waitForFinished(5000)) {
            gui.kill();
            gui.waitForFinished(2000);
        }
        if (!times) {
            std::printf("  peer (flameshot gui): no overlay on every display: NOT MEASURED\n");
            return;
        }
        all.push_back(*std::max_element(times->painted.begin(), times->painted.end()));
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
    std::printf(
        "  peer (flameshot %s gui, from its command), same run: median %.0f ms, p95 %.0f ms "
        "(%d runs)\n",
        qPrintable(peerVersion()), percentile(all, 0.5), percentile(all, 0.95), peerRuns);
}

// The peer's resident daemon on the same display: started fresh, measured once it is idle.
void peerDaemonMemory(const QString& display, const QString& dir) {
    QProcess peer;
    peer.setProcessEnvironment(peerEnvironment(display, dir));
    peer.setStandardOutputFile(QProcess::nullDevice());
    peer.setStandardErrorFile(QProcess::nullDevice());
    peer.start("flameshot", {});
    if (!peer.waitForStarted(5000)) {
        std::printf("  peer daemon (flameshot): not started, NOT MEASURED\n");
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(4));
    std::printf("  peer daemon (flameshot %s, tray off), same layout, idle: %.1f MiB resident\n",
                qPrintable(peerVersion()), residentMiB(peer.processId()));
    peer.terminate();
    if (!peer.waitForFinished(5000)) peer.kill();
    peer.waitForFinished(2000);
}

// Memory over time, and the first capture once the kept memory has been given back, over a few
// release cycles.
void idleRelease(xcb_connection_t* c, xcb_window_t root, const Layout& layout, qint64 pid,
                 qint64 serverPid, double launchRss) {
    constexpr int cycles = 7;
    // The key comes a while after the release, as it does for users: memory given back to a
    // virtual machine's host (free page reporting, after about 2 s) costs far more to get back
    // than memory freed a moment ago.
    constexpr int afterReleaseMs = 4000;
    const double afterCaptures = residentMiB(pid);
    std::vector<double> released, firstAfter, answered, faults, serverFaults, afterNext;
    for (int i = 0; i < cycles; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs + afterReleaseMs));
        released.push_back(residentMiB(pid));
        const qint64 faultsBefore = minorFaults(pid), serverBefore = minorFaults(serverPid);
        const auto first = measureOnce(c, root, layout.monitors, {}, true);
        if (!first || first->answered < 0) {
            std::printf("  first capture after the idle release: no overlay: NOT MEASURED\n");
            return;
        }
        firstAfter.push_back(*std::max_element(first->painted.begin(), first->painted.end()));
        answered.push_back(first->answered);
        faults.push_back(double(minorFaults(pid) - faultsBefore));
        serverFaults.push_back(double(minorFaults(serverPid) - serverBefore));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        afterNext.push_back(residentMiB(pid));
    }
    std::printf(
        "  tessik resident: %.1f MiB at launch, %.1f MiB after the captures, %.1f MiB "
        "after the idle release (median of %d; %d ms idle here, 60 s for users; the key %d ms after "
        "it), %.1f MiB after "
        "the next capture\n",
        launchRss, afterCaptures, percentile(released, 0.5), cycles, kIdleMs, afterReleaseMs,
        percentile(afterNext, 0.5));
    std::printf("  first capture after the idle release: painted on every display in");
    for (double v : firstAfter) std::printf(" %.0f", v);
    std::printf(" ms, median %.0f ms (goal: under 150 ms)\n", percentile(firstAfter, 0.5));
    std::printf("    then the pointer moved: its crosshair drawn at");
    for (double v : answered) std::printf(" %.0f", v);
    std::printf(" ms from the key, median %.0f ms\n", percentile(answered, 0.5));
    std::printf("    page faults meanwhile (median): %.0f in tessik, %.0f in the X server\n",
                percentile(faults, 0.5), percentile(serverFaults, 0.5));
}

bool measureLayout(const Layout& layout, const QString& tessik, int displayNumber) {
    std::printf("\n%s (%s)\n", layout.title, layout.root);
    QTemporaryDir tmp;
    const QString display = QStringLiteral(":%1").arg(displayNumber);
    QProcess xvfb;
    xvfb.start("Xvfb", {display, "-screen", "0", QString(layout.root) + "x24", "-nolisten", "tcp",
                        "-noreset"});
    xvfb.waitForStarted();
    xcb_connection_t* c = nullptr;
    for (int i = 0; i < 200; ++i) {
        c = xcb_connect(display.toLatin1().constData(), nullptr);
        if (!xcb_connection_has_error(c)) break;
        xcb_disconnect(c);
        c = nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!c) {
        std::printf("  Xvfb did not start\n");
        return false;
    }
    bool first = true;
    for (const Monitor& m : layout.monitors) {
        run({"xrandr", "--setmonitor", (first ? "*" : "") + QString(m.name),
             QStringLiteral("%1/600x%2/340+%3+%4").arg(m.width).arg(m.height).arg(m.x).arg(m.y),
             first ? "screen" : "none"},
            display);
        first = false;
    }
    const QStringList size = QString(layout.root).split('x');
    run({"display", "-window", "root", desktopImage(size[0].toInt(), size[1].toInt(), tmp.path())},
        display);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;

    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("HOME", tmp.path());
    env.insert("XDG_CONFIG_HOME", tmp.path() + "/.config");
    env.insert("XDG_RUNTIME_DIR", tmp.path());
    env.remove("QT_SCREEN_SCALE_FACTORS");
    // The idle release after a short spell rather than the minute a user waits.
    env.insert("TESSIK_IDLE_RELEASE_MS", QString::number(kIdleMs));
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(tessik, {});
    app.waitForStarted();
    // Launch, hot-key registration and the capture warm-up.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    qputenv("DISPLAY", display.toLatin1());
    const double launchRss = residentMiB(app.processId());

    std::vector<double> all, firstDisplay, otherDisplays, answered;
    bool ok = true;
    for (int i = 0; i <= kRuns && ok; ++i) {
        const auto times = measureOnce(c, root, layout.monitors, {}, true);
        if (!times || times->answered < 0) {
            std::printf(
                "  run %d: %s within %lld s: NOT MEASURED\n", i,
                times ? "no crosshair after the pointer moved" : "no overlay on every display",
                (long long)kTimeout.count());
            ok = false;
            break;
        }
        if (i == 0) {
            std::printf("  first press (cold): %.0f ms\n",
                        *std::max_element(times->painted.begin(), times->painted.end()));
        } else {
            all.push_back(*std::max_element(times->painted.begin(), times->painted.end()));
            firstDisplay.push_back(times->painted.front());
            if (times->painted.size() > 1) otherDisplays.push_back(times->painted.back());
            answered.push_back(times->answered);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    }
    if (ok) {
        std::printf(
            "  painted on every display: median %.0f ms, p95 %.0f ms, min %.0f ms (%d runs)\n",
            percentile(all, 0.5), percentile(all, 0.95), percentile(all, 0), kRuns);
        std::printf("  painted on %s: median %.0f ms\n", layout.monitors.front().name,
                    percentile(firstDisplay, 0.5));
        if (!otherDisplays.empty())
            std::printf("  painted on %s: median %.0f ms\n", layout.monitors.back().name,
                        percentile(otherDisplays, 0.5));
        std::printf(
            "  then the pointer moved: its crosshair drawn at median %.0f ms from the key\n",
            percentile(answered, 0.5));
        idleRelease(c, root, layout, app.processId(), xvfb.processId(), launchRss);
        // The peer alone on the display: Tessik's grab would take its Escape.
        app.terminate();
        app.waitForFinished(5000);
        peerCapture(c, root, layout, display, tmp.path());
        peerDaemonMemory(display, tmp.path());
    }
    app.terminate();
    app.waitForFinished(5000);
    xcb_disconnect(c);
    xvfb.terminate();
    xvfb.waitForFinished(5000);
    return ok;
}

// What fresh memory costs on this machine, the unit the first capture after the idle release
// pays in: 4 KiB pages touched one by one (a fault each) or made resident in one call first, as
// the overlays' shared stores get them, and 2 MiB pages, as the frames get them. Shared memory
// has no huge pages here, and the X server pays its own 4 KiB pages for a store again.
void freshPageCost() {
    constexpr std::size_t bytes = 32u << 20, page = 4096, hugePage = 2u << 20;
    enum class Way { touched, populated, huge };
    const auto measure = [&](Way way) {
        void* p = mmap(nullptr, bytes + hugePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) return 0.0;
        auto* data = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(p) + hugePage - 1) &
                                             ~std::uintptr_t(hugePage - 1));
        if (way == Way::huge) madvise(data, bytes, MADV_HUGEPAGE);
        const auto start = Clock::now();
        if (way == Way::populated)
            makePagesResident(data, bytes);  // what the overlays' stores get
        else
            for (std::size_t i = 0; i < bytes; i += page) static_cast<volatile char*>(data)[i] = 1;
        const double us = ms(Clock::now() - start) * 1000 / (bytes / page);
        munmap(p, bytes + hugePage);
        return us;
    };
    std::vector<double> touched, populated, huge;
    for (int i = 0; i < 5; ++i) {
        touched.push_back(measure(Way::touched));
        populated.push_back(measure(Way::populated));
        huge.push_back(measure(Way::huge));
    }
    std::printf(
        "fresh memory here, per 4 KiB: %.1f us touched page by page, %.1f us made resident in "
        "one call first, %.2f us in 2 MiB pages (medians of 5 x 32 MiB)\n",
        percentile(touched, 0.5), percentile(populated, 0.5), percentile(huge, 0.5));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QString tessik = qEnvironmentVariable("TESSIK_BINARY", "src/App/tessik");
    if (argc > 2 && std::strcmp(argv[1], "--tessik") == 0) tessik = argv[2];
    tessik = QFileInfo(tessik).absoluteFilePath();
#ifdef TESSIK_HAVE_XTEST
    const char* trigger = "Ctrl+Shift+2 through XTest";
#else
    const char* trigger = "xdotool key ctrl+shift+2 (its start-up included)";
#endif
    std::printf("bench_hotkey: %s until the overlay's pixels change on every display\n", trigger);
    if (!QFileInfo(tessik).isExecutable()) {
        std::printf("  tessik not found at %s: NOT MEASURED\n", qPrintable(tessik));
        return 0;
    }
    freshPageCost();
    int display = 380;
    while (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))) ++display;
    const Layout layouts[] = {
        {"3840x2160 + 1920x1080",
         "5760x2160",
         {{"UHD", 3840, 2160, 0, 0}, {"FHD", 1920, 1080, 3840, 0}}},
        {"one 3840x2160", "3840x2160", {{"UHD", 3840, 2160, 0, 0}}},
    };
    for (const Layout& layout : layouts) measureLayout(layout, tessik, display++);
    return 0;
}
