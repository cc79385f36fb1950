// A test-only driver of the capture service on a real X server. It reads one command per line
// on standard input and answers each with one JSON line:
//   pattern            paint the root with a pattern that encodes each pixel's coordinates
//   list               remember and print the current displays
//   prewarm | invalidate
//   capture-all [DIR]  capture the displays of the last `list` (PNGs into DIR if given)
//   capture-under      capture the display under the pointer
// Each capture is checked against the pattern: the coordinates of its top-left pixel, and how
// many pixels do not continue that pattern.
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
#include "Platform/X11/RandrMonitors.h"
#include "Platform/ScreenScales.h"
#include "Platform/X11/X11DisplaySource.h"

namespace {

quint8 patternBlue(int x, int y) {
    return quint8(((x >> 8) & 15) | (((y >> 8) & 15) << 4));
}

void paintRootPattern() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const int w = s->width_in_pixels, h = s->height_in_pixels;
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, s->root_depth, pixmap, s->root, w, h);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    const int rowsPerRequest = int((xcb_get_maximum_request_length(c) * 4 - 64) / (w * 4));
    std::vector<quint32> rows(std::size_t(w) * rowsPerRequest);
    for (int y0 = 0; y0 < h; y0 += rowsPerRequest) {
        const int n = std::min(rowsPerRequest, h - y0);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < w; ++x)
                rows[std::size_t(y) * w + x] = (quint32(x & 255) << 16) |
                                               (quint32((y0 + y) & 255) << 8) |
                                               patternBlue(x, y0 + y);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, w, n, 0, y0, 0, s->root_depth,
                      quint32(w * n * 4), reinterpret_cast<const uint8_t*>(rows.data()));
    }
    const quint32 back = pixmap;
    xcb_change_window_attributes(c, s->root, XCB_CW_BACK_PIXMAP, &back);
    xcb_clear_area(c, 0, s->root, 0, 0, 0, 0);
    xcb_free_gc(c, gc);
    xcb_free_pixmap(c, pixmap);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
}

// Coordinates are encoded modulo 4096 on both axes.
QPoint decode(QRgb p) {
    return {qRed(p) | ((qBlue(p) & 15) << 8), qGreen(p) | ((qBlue(p) >> 4) << 8)};
}

QJsonObject check(const QImage& image) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    const QPoint origin = decode(img.pixel(0, 0));
    qint64 mismatches = 0;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (decode(line[x]) != QPoint((origin.x() + x) & 4095, (origin.y() + y) & 4095))
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
