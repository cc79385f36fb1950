#pragma once

#include <chrono>
#include <vector>

#include <xcb/xcb.h>
#include <QByteArray>

// Sends a selection's content to the clients that asked for it, on one xcb connection: at once
// when it fits in one chunk, else with the INCR protocol, one chunk each time the requestor has
// deleted the previous one. Not thread-safe: used by one thread.
class X11SelectionSender {
public:
    using Clock = std::chrono::steady_clock;

    X11SelectionSender(xcb_connection_t* c, xcb_atom_t incr, int chunkBytes);

    // Answers a request with the content, or refuses it when `data` is null.
    void send(const xcb_selection_request_event_t& request, const QByteArray* data);
    // Answers with 32-bit values of a type: the atoms of TARGETS, the INTEGER of TIMESTAMP.
    void sendValues(const xcb_selection_request_event_t& request, xcb_atom_t type,
                    const std::vector<uint32_t>& values);
    // Takes the connection's events that concern a transfer; true when it was one of them.
    bool handle(const xcb_generic_event_t* event);
    // Gives up the transfers whose requestor has not taken a chunk for `patience`.
    void expire(Clock::duration patience);
    bool busy() const { return !m_transfers.empty(); }
    int chunkBytes() const { return m_chunk; }

private:
    struct Transfer {
        xcb_window_t requestor;
        xcb_atom_t property;
        xcb_atom_t type;
        QByteArray data;
        qsizetype sent = 0;
        Clock::time_point lastActivity;
    };

    void notify(const xcb_selection_request_event_t& request, xcb_atom_t property);
    void nextChunk(Transfer& t);
    void drop(xcb_window_t requestor, xcb_atom_t property);
    void watch(xcb_window_t requestor, bool on);

    xcb_connection_t* m_c;
    xcb_atom_t m_incr;
    int m_chunk;
    std::vector<Transfer> m_transfers;
};
