#include "Platform/X11/X11Pixels.h"

#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QScreen>

#include "Capture/GlobalSpace.h"
#include "Platform/X11/QtConnection.h"
#include "Platform/X11/RandrMonitors.h"
#include "Platform/X11/XcbHandles.h"

namespace X11Pixels {

namespace {

QScreen* screenNamed(const QString& name) {
    for (QScreen* s : QGuiApplication::screens())
        if (s->name() == name) return s;
    return nullptr;
}

}  // namespace

QPointF pointer() {
    xcb_connection_t* c = qtConnection();
    if (!c) return GlobalSpace::qtPointer();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    XcbReply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr));
    const auto monitors = RandrMonitors::list(c);
    if (!reply || !monitors) return GlobalSpace::qtPointer();
    const QPoint pixel(reply->root_x, reply->root_y);
    for (const RandrMonitor& m : *monitors) {
        QScreen* screen = m.pixels.contains(pixel) ? screenNamed(m.name) : nullptr;
        if (!screen) continue;
        // The screen's top-left point shows the monitor's top-left pixel; the rest scales.
        const QPointF offset =
            (QPointF(pixel - m.pixels.topLeft()) + QPointF(0.5, 0.5)) / screen->devicePixelRatio();
        return QPointF(screen->geometry().topLeft()) + offset;
    }
    return GlobalSpace::qtPointer();
}

void fitWindow(WId window, QSize pixels) {
    xcb_connection_t* c = qtConnection();
    if (!c || !window || pixels.isEmpty()) return;
    const quint32 size[] = {quint32(pixels.width()), quint32(pixels.height())};
    xcb_configure_window(c, xcb_window_t(window),
                         XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    xcb_flush(c);
}

}  // namespace X11Pixels
