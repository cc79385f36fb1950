#include "Platform/X11/X11SelectionSender.h"

#include <algorithm>
#include <cstring>

X11SelectionSender::X11SelectionSender(xcb_connection_t* c, xcb_atom_t incr, int chunkBytes)
    : m_c(c), m_incr(incr) {
    // A chunk must fit in one request, whatever the server's limit.
    const qint64 largest = qint64(xcb_get_maximum_request_length(c)) * 4 - 64;
    m_chunk = int(std::clamp<qint64>(chunkBytes, 1024, largest));
}

void X11SelectionSender::send(const xcb_selection_request_event_t& request,
                              const QByteArray* data) {
    // Obsolete clients name no property: the target is then the property.
    const xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    if (!data) return notify(request, XCB_NONE);
    if (data->size() <= m_chunk) {
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, request.requestor, property, request.target,
                            8, uint32_t(data->size()), data->constData());
        return notify(request, property);
    }
    drop(request.requestor, property);
    // The requestor's deletions of each chunk come to this connection from now on.
    watch(request.requestor, true);
    const uint32_t lowerBound = uint32_t(std::min<qsizetype>(data->size(), UINT32_MAX));
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, request.requestor, property, m_incr, 32, 1,
                        &lowerBound);
    m_transfers.push_back({request.requestor, property, request.target, *data, 0, Clock::now()});
    notify(request, property);
}

void X11SelectionSender::sendValues(const xcb_selection_request_event_t& request, xcb_atom_t type,
                                    const std::vector<uint32_t>& values) {
    const xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, request.requestor, property, type, 32,
                        uint32_t(values.size()), values.data());
    notify(request, property);
}

bool X11SelectionSender::handle(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
        case XCB_PROPERTY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (e->state != XCB_PROPERTY_DELETE) return false;
            auto t = std::find_if(m_transfers.begin(), m_transfers.end(), [e](const Transfer& t) {
                return t.requestor == e->window && t.property == e->atom;
            });
            if (t == m_transfers.end()) return false;
            nextChunk(*t);
            return true;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
            drop(e->window, XCB_NONE);
            return true;
        }
        case 0: {
            // A requestor that went away makes its property requests fail.
            const auto* e = reinterpret_cast<const xcb_generic_error_t*>(event);
            if (e->error_code != XCB_WINDOW) return false;
            drop(e->resource_id, XCB_NONE);
            return true;
        }
    }
    return false;
}

void X11SelectionSender::expire(Clock::duration patience) {
    const auto now = Clock::now();
    std::vector<Transfer> stale;
    for (const Transfer& t : m_transfers)
        if (now - t.lastActivity > patience) stale.push_back(t);
    for (const Transfer& t : stale) drop(t.requestor, t.property);
}

void X11SelectionSender::notify(const xcb_selection_request_event_t& request, xcb_atom_t property) {
    xcb_selection_notify_event_t e{};
    e.response_type = XCB_SELECTION_NOTIFY;
    e.time = request.time;
    e.requestor = request.requestor;
    e.selection = request.selection;
    e.target = request.target;
    e.property = property;
    char event[32] = {};
    std::memcpy(event, &e, sizeof e);
    xcb_send_event(m_c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, event);
}

void X11SelectionSender::nextChunk(Transfer& t) {
    const qsizetype n = std::min<qsizetype>(m_chunk, t.data.size() - t.sent);
    // After the last chunk, an empty one tells the requestor that the content is complete.
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, t.requestor, t.property, t.type, 8, uint32_t(n),
                        t.data.constData() + t.sent);
    if (n == 0) return drop(t.requestor, t.property);
    t.sent += n;
    t.lastActivity = Clock::now();
}

// Forgets the transfer to that property (any property of the window when none is named).
void X11SelectionSender::drop(xcb_window_t requestor, xcb_atom_t property) {
    const auto before = m_transfers.size();
    std::erase_if(m_transfers, [&](const Transfer& t) {
        return t.requestor == requestor && (property == XCB_NONE || t.property == property);
    });
    if (m_transfers.size() == before) return;
    const bool stillUsed = std::any_of(m_transfers.begin(), m_transfers.end(),
                                       [&](const Transfer& t) { return t.requestor == requestor; });
    if (!stillUsed) watch(requestor, false);
}

void X11SelectionSender::watch(xcb_window_t requestor, bool on) {
    const uint32_t mask = on ? XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY : 0;
    xcb_change_window_attributes(m_c, requestor, XCB_CW_EVENT_MASK, &mask);
}
