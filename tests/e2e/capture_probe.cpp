// A test-only driver of the capture service on a real X server. It reads one command per line
// on standard input and answers each with one JSON line:
//   pattern            paint the root with a pattern that encodes each pixel's coordinates
//   list               remember and print the current displays
//   prewarm | invalidate
//   capture-all [DIR]  capture the displays of the last `list` (PNGs into DIR if given)
//   capture-under      capture the display under the pointer
// Each capture is checked against the pattern: the coordinates of its top-left pixel (modulo
// 128 x 512 on a 16-bit root), and how many pixels do not continue that pattern.
#include <cstring>
#include <deque>
#include <iostream>
#include <string>
#include <thread>

#include <xcb/xcb.h>
#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>

#include "Capture/QtScreenSource.h"
#include "Capture/ScreenCaptureService.h"
#include "Platform/ScreenScales.h"
#include "Platform/X11/RandrMonitors.h"
#include "Platform/X11/X11DisplaySource.h"

namespace {

quint8 patternBlue(int x, int y) {
    return quint8(((x >> 8) & 15) | (((y >> 8) & 15) << 4));
}

// The root's depth decides how the pattern is stored. At 16 bits a pixel keeps its
// coordinates modulo 128 x 512: red x, green y and blue the high bits of both; at 30 bits each
// 8-bit channel is widened to 10 by repeating its high bits.
int rootDepth() {
    static const int depth = [] {
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        const int d = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root_depth;
        xcb_disconnect(c);
        return d;
    }();
    return depth;
}

constexpr QPoint wrap16(127, 511);
constexpr QPoint wrap24(4095, 4095);

quint32 rootPixel(int x, int y, int depth) {
    if (depth == 16)
        return quint32(x & 31) << 11 | quint32(y & 63) << 5 | quint32((x >> 5) & 3) |
               quint32((y >> 6) & 7) << 2;
    const quint32 r = x & 255, g = y & 255, b = patternBlue(x, y);
    if (depth == 30) {
        const auto ten = [](quint32 c) { return c << 2 | c >> 6; };
        return ten(r) << 20 | ten(g) << 10 | ten(b);
    }
    return r << 16 | g << 8 | b;
}

void paintRootPattern() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const int w = s->width_in_pixels, h = s->height_in_pixels, depth = s->root_depth;
    const int pixelBytes = depth == 16 ? 2 : 4;
    const int rowBytes = (w * pixelBytes + 3) / 4 * 4;
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, s->root_depth, pixmap, s->root, w, h);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    const int rowsPerRequest = int((xcb_get_maximum_request_length(c) * 4 - 64) / rowBytes);
    std::vector<uint8_t> rows(std::size_t(rowBytes) * rowsPerRequest);
    for (int y0 = 0; y0 < h; y0 += rowsPerRequest) {
        const int n = std::min(rowsPerRequest, h - y0);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < w; ++x) {
                const quint32 p = rootPixel(x, y0 + y, depth);
                std::memcpy(&rows[std::size_t(y) * rowBytes + std::size_t(x) * pixelBytes], &p,
                            pixelBytes);
            }
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, w, n, 0, y0, 0, s->root_depth,
                      quint32(rowBytes * n), rows.data());
    }
    const quint32 back = pixmap;
    xcb_change_window_attributes(c, s->root, XCB_CW_BACK_PIXMAP, &back);
    xcb_clear_area(c, 0, s->root, 0, 0, 0, 0);
    xcb_free_gc(c, gc);
    xcb_free_pixmap(c, pixmap);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
}

// The root coordinates a pixel encodes; (-1, -1) when it is not a colour the pattern uses. At
// 16 bits the colour must be exactly the 16-bit one with its bits repeated to fill 8.
QPoint decode(QRgb p) {
    if (rootDepth() != 16)
        return {qRed(p) | ((qBlue(p) & 15) << 8), qGreen(p) | ((qBlue(p) >> 4) << 8)};
    const int r = qRed(p) >> 3, g = qGreen(p) >> 2, b = qBlue(p) >> 3;
    if (qRed(p) != (r << 3 | r >> 2) || qGreen(p) != (g << 2 | g >> 4) ||
        qBlue(p) != (b << 3 | b >> 2))
        return {-1, -1};
    return {r | (b & 3) << 5, g | (b >> 2) << 6};
}

QJsonObject check(const QImage& image) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    const QPoint wrap = rootDepth() == 16 ? wrap16 : wrap24;
    const QPoint origin = decode(img.pixel(0, 0));
    qint64 mismatches = 0;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (decode(line[x]) != QPoint((origin.x() + x) & wrap.x(), (origin.y() + y) & wrap.y()))
                ++mismatches;
    }
    return {{"width", img.width()},
            {"height", img.height()},
            {"x", origin.x()},
            {"y", origin.y()},
            {"mismatches", mismatches}};
}

class Probe {
public:
    Probe()
        : m_scales(ScreenScales::tracking()),
          m_screens(&RandrMonitors::idForName),
          m_service(std::make_unique<X11DisplaySource>(
              [s = m_scales](const QString& n) { return s->scale(n); })) {}

    void enqueue(const QString& line) {
        m_pending.push_back(line);
        if (!m_busy) next();
    }

private:
    void next() {
        if (m_pending.empty()) return void(m_busy = false);
        m_busy = true;
        const QStringList words = m_pending.front().split(' ', Qt::SkipEmptyParts);
        m_pending.pop_front();
        run(words.value(0), words.value(1));
    }

    void reply(const QJsonObject& o) {
        std::cout << QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString() << std::endl;
        next();
    }

    QString nameOf(quint32 id) const {
        for (QScreen* s : QGuiApplication::screens())
            if (auto d = m_screens.descriptor(s); d && d->displayID == id) return s->name();
        return {};
    }

    QJsonObject describe(const ScreenDescriptor& d) const {
        return {{"name", nameOf(d.displayID)},
                {"id", qint64(d.displayID)},
                {"scale", d.scale},
                {"width", d.frame.width()},
                {"height", d.frame.height()}};
    }

    QJsonObject failure(const CaptureError& e) const {
        static const char* kinds[] = {"captureFailed", "permissionDenied", "displayUnavailable"};
        return {{"error", e.description()}, {"kind", kinds[int(e.kind)]}};
    }

    void run(const QString& command, const QString& arg) {
        if (command == "pattern") {
            paintRootPattern();
            return reply({{"ok", true}});
        }
        if (command == "list") {
            m_listed = m_screens.all();
            QJsonArray a;
            for (const auto& d : m_listed) a.append(describe(d));
            return reply({{"screens", a}});
        }
        if (command == "prewarm")
            return void(m_service.prewarm().then(qApp, [this] { reply({{"ok", true}}); }));
        if (command == "invalidate")
            return void(m_service.invalidateCachedContent().then(qApp, [this] {
                reply({{"ok", true}});
            }));
        if (command == "capture-all")
            return void(m_service.captureAll(m_listed).then(
                qApp, [this, arg](const CaptureExpected<QList<DisplayCapture>>& r) {
                    if (!r) return reply(failure(r.error()));
                    QJsonArray a;
                    for (const DisplayCapture& c : *r) a.append(report(c, arg));
                    reply({{"captures", a}});
                }));
        if (command == "capture-under") {
            const auto screen = m_screens.underMouse();
            if (!screen) return reply(failure(CaptureError::displayUnavailable()));
            return void(m_service.capture(*screen).then(
                qApp, [this, arg](const CaptureExpected<DisplayCapture>& r) {
                    if (!r) return reply(failure(r.error()));
                    reply({{"capture", report(*r, arg)}});
                }));
        }
        reply({{"error", "unknown command"}});
    }

    QJsonObject report(const DisplayCapture& c, const QString& dir) const {
        QJsonObject o = check(c.image);
        o["screen"] = describe(c.screen);
        if (!dir.isEmpty()) c.image.save(QDir(dir).filePath(nameOf(c.screen.displayID) + ".png"));
        return o;
    }

    std::shared_ptr<ScreenScales> m_scales;
    QtScreenSource m_screens;
    ScreenCaptureService m_service;
    QList<ScreenDescriptor> m_listed;
    std::deque<QString> m_pending;
    bool m_busy = false;
};

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    Probe probe;
    std::thread([&app, &probe] {
        std::string line;
        while (std::getline(std::cin, line) && line != "quit")
            QMetaObject::invokeMethod(
                &app, [&probe, l = QString::fromStdString(line)] { probe.enqueue(l); });
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit);
    }).detach();
    return app.exec();
}
