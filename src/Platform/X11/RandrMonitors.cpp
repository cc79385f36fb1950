#include "Platform/X11/RandrMonitors.h"

#include <vector>

#include <xcb/randr.h>
#include <xcb/xcb.h>
#include <QGuiApplication>

#include "Platform/X11/XcbHandles.h"

namespace RandrMonitors {

std::optional<QList<RandrMonitor>> list(xcb_connection_t* c) {
    if (!c || xcb_connection_has_error(c)) return std::nullopt;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_randr_id);
    if (!ext || !ext->present) return std::nullopt;
    XcbReply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
    if (!version || version->major_version < 1 ||
        (version->major_version == 1 && version->minor_version < 5))
        return std::nullopt;

    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    XcbReply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr));
    if (!reply) return std::nullopt;

    QList<RandrMonitor> monitors;
    std::vector<xcb_get_atom_name_cookie_t> names;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
         xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t* m = it.data;
        monitors.append({m->name, {}, QRect(m->x, m->y, m->width, m->height), m->primary != 0});
        names.push_back(xcb_get_atom_name(c, m->name));
    }
    // Requests first, replies after: one round trip for all the names.
    for (qsizetype i = 0; i < monitors.size(); ++i) {
        XcbReply<xcb_get_atom_name_reply_t> name(xcb_get_atom_name_reply(c, names[i], nullptr));
        if (name)
            monitors[i].name = QString::fromUtf8(xcb_get_atom_name_name(name.get()),
                                                 xcb_get_atom_name_name_length(name.get()));
    }
    return monitors;
}

std::optional<quint32> idForName(const QString& name) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11) return std::nullopt;
    const auto monitors = list(x11->connection());
    if (!monitors) return std::nullopt;
    for (const RandrMonitor& m : *monitors)
        if (m.name == name) return m.id;
    return std::nullopt;
}

}  // namespace RandrMonitors
