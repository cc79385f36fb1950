#pragma once

// A paste as another application makes it: ConvertSelection on its own connection, then the
// property read and deleted, chunk after chunk when the owner answers with INCR. It records how
// the owner delivered: when it answered, in how many chunks, how large, how long each took.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include <xcb/xcb.h>
#include <QByteArray>

class SelectionReader {
public:
    using Clock = std::chrono::steady_clock;

    struct Paste {
        bool ok = false;
        QByteArray bytes;
        Clock::time_point asked;     // ConvertSelection sent
        Clock::time_point answered;  // the owner's SelectionNotify
        Clock::time_point complete;  // the last byte read
        bool incremental = false;
        int chunks = 0;
        qint64 largestChunk = 0;
        double longestChunkWaitMs = 0;  // property deleted -> next chunk announced
    };

    explicit SelectionReader(const char* display) : m_c(xcb_connect(display, nullptr)) {
        if (xcb_connection_has_error(m_c)) return;
        m_property = atom("TESSIK_BENCH_PASTE");
        m_incr = atom("INCR");
    }
    ~SelectionReader() { xcb_disconnect(m_c); }

    xcb_atom_t atom(const char* name) {
        auto* r = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : XCB_ATOM_NONE;
        std::free(r);
        return a;
    }

    bool owned(xcb_atom_t selection) {
        auto* r =
            xcb_get_selection_owner_reply(m_c, xcb_get_selection_owner(m_c, selection), nullptr);
        const bool has = r && r->owner != XCB_NONE;
        std::free(r);
        return has;
    }

    // Blocks until the whole content is read, the owner refuses, or the server goes away; or,
    // given `giveUpAfter`, until that many chunks are read (the paste then is not ok). The
    // request carries `time`, as a client's carries the time of the click behind it.
    Paste paste(xcb_atom_t selection, xcb_atom_t target, int giveUpAfter = -1,
                xcb_timestamp_t time = XCB_CURRENT_TIME) {
        Paste p;
        // A window of its own for each paste: an owner that leaves its interest in an earlier
        // requestor's properties (xclip does) is not woken by the transfers of the next.
        newWindow();
        p.asked = Clock::now();
        xcb_convert_selection(m_c, m_window, selection, target, m_property, time);
        xcb_flush(m_c);
        auto* notify = waitFor(XCB_SELECTION_NOTIFY);
        while (notify &&
               reinterpret_cast<xcb_selection_notify_event_t*>(notify)->requestor != m_window) {
            std::free(notify);
            notify = waitFor(XCB_SELECTION_NOTIFY);
        }
        p.answered = Clock::now();
        const bool refused =
            !notify ||
            reinterpret_cast<xcb_selection_notify_event_t*>(notify)->property == XCB_NONE;
        std::free(notify);
        if (refused) return p;
        auto first = take();
        if (!first) return p;
        if (first->type != m_incr) {
            p.bytes = first->value;
            p.chunks = 1;
            p.largestChunk = p.bytes.size();
        } else {
            // Deleting the INCR property asked for the first chunk; an empty one ends it.
            p.incremental = true;
            for (;;) {
                if (p.chunks == giveUpAfter) return p;
                const auto asked = Clock::now();
                std::optional<Chunk> chunk;
                while (!chunk) {
                    auto* e = waitFor(XCB_PROPERTY_NOTIFY);
                    if (!e) return p;
                    const auto* pn = reinterpret_cast<xcb_property_notify_event_t*>(e);
                    const bool fresh = pn->window == m_window && pn->atom == m_property &&
                                       pn->state == XCB_PROPERTY_NEW_VALUE;
                    std::free(e);
                    if (fresh) chunk = take();
                }
                p.longestChunkWaitMs = std::max(
                    p.longestChunkWaitMs,
                    std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
                if (chunk->value.isEmpty()) break;
                ++p.chunks;
                p.largestChunk = std::max(p.largestChunk, chunk->value.size());
                p.bytes += chunk->value;
            }
        }
        p.complete = Clock::now();
        p.ok = true;
        return p;
    }

private:
    void newWindow() {
        if (m_window) xcb_destroy_window(m_c, m_window);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        m_window = xcb_generate_id(m_c);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
        // Done before the paste is timed.
        std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
    }

    struct Chunk {
        xcb_atom_t type = XCB_ATOM_NONE;
        QByteArray value;
    };

    // Reads and deletes the property, whatever its size.
    std::optional<Chunk> take() {
        auto* r =
            xcb_get_property_reply(m_c,
                                   xcb_get_property(m_c, 1, m_window, m_property,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4),
                                   nullptr);
        if (!r) return std::nullopt;
        Chunk chunk{r->type, QByteArray(static_cast<const char*>(xcb_get_property_value(r)),
                                        xcb_get_property_value_length(r))};
        std::free(r);
        return chunk;
    }

    xcb_generic_event_t* waitFor(uint8_t type) {
        while (xcb_generic_event_t* e = xcb_wait_for_event(m_c)) {
            if ((e->response_type & 0x7f) == type) return e;
            std::free(e);
        }
        return nullptr;
    }

    xcb_connection_t* m_c;
    xcb_window_t m_window = 0;
    xcb_atom_t m_property = XCB_ATOM_NONE;
    xcb_atom_t m_incr = XCB_ATOM_NONE;
};
