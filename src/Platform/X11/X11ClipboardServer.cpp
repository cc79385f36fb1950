#include "Platform/X11/X11ClipboardServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include <qpa/qplatformnativeinterface.h>
#include <xcb/xcb.h>
#include <QGuiApplication>

#include "Export/ImageEncoder.h"
#include "Export/PendingImageMimeData.h"
#include "Platform/X11/QtConnection.h"
#include "Platform/X11/X11SelectionSender.h"
#include "Platform/X11/XcbHandles.h"

namespace {

// The server time of the last event Qt handled: the time Qt gives the selection it takes.
quint32 qtServerTime() {
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!native || !screen) return 0;
    return quint32(reinterpret_cast<quintptr>(native->nativeResourceForScreen("apptime", screen)));
}

// A request stamped before the selection was ours asks for what another owner held then
// (ICCCM). Times wrap after 49 days, hence the signed difference; 0 is an unknown time.
bool stampedBefore(quint32 requestTime, quint32 ownedSince) {
    return requestTime != XCB_CURRENT_TIME && ownedSince != 0 &&
           qint32(requestTime - ownedSince) < 0;
}

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    XcbReply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

}  // namespace

// The serving thread: requests handed over by the main thread are answered in turn, and the
// chunks of long transfers follow the requestors' pace. While Tessik's image is on a selection,
// this connection holds the selection itself (with Qt's window and Qt's time), so that pastes
// come here straight from the server rather than through Qt's event thread and main thread.
class X11ClipboardServer::Worker {
public:
    struct Request {
        xcb_selection_request_event_t event;
        std::shared_ptr<const PendingImageBytes> bytes;
        QString type;
    };
    // Tessik's image now on a selection that Qt took at `time`; none when it is something else.
    struct Claim {
        QClipboard::Mode mode;
        quint32 time = 0;
        std::shared_ptr<const PendingImageBytes> bytes;
    };

    Worker(xcb_connection_t* c, X11ClipboardServer::Options options)
        : m_c(c),
          m_options(options),
          m_wake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
          m_selections{intern(c, "CLIPBOARD"), XCB_ATOM_PRIMARY},
          m_png(intern(c, "image/png")),
          m_tiff(intern(c, "image/tiff")),
          m_incr(intern(c, "INCR")),
          m_targets(intern(c, "TARGETS")),
          m_timestamp(intern(c, "TIMESTAMP")),
          m_multiple(intern(c, "MULTIPLE")),
          m_saveTargets(intern(c, "SAVE_TARGETS")) {}

    ~Worker() {
        stop();
        xcb_disconnect(m_c);
        if (m_wake >= 0) close(m_wake);
    }

    bool usable() const {
        return m_wake >= 0 && m_incr != XCB_ATOM_NONE && m_targets != XCB_ATOM_NONE &&
               m_timestamp != XCB_ATOM_NONE && m_multiple != XCB_ATOM_NONE &&
               m_saveTargets != XCB_ATOM_NONE;
    }
    void run() {
        m_thread = std::thread([this] { loop(); });
    }
    void stop() {
        m_stop = true;
        wake();
        if (m_thread.joinable()) m_thread.join();
    }

    // The clipboard a request is for, and the type it asks for; nothing when it is not ours.
    std::optional<std::pair<QClipboard::Mode, QString>> classify(
        const xcb_selection_request_event_t& e) const {
        const auto mode = modeOf(e.selection);
        if (!mode) return std::nullopt;
        if (e.target == m_png) return std::pair(*mode, ImageEncoder::png);
        if (e.target == m_tiff) return std::pair(*mode, ImageEncoder::tiff);
        return std::nullopt;
    }

    void post(Request request) { push(m_requests, std::move(request)); }
    void post(Claim claim) { push(m_claims, std::move(claim)); }

    // Once the thread has stopped: the selections this connection holds go back to Qt's
    // connection, same window and time, before this one closes and the server would empty
    // them. Qt's own handover to a clipboard manager at exit then finds them as it left them.
    void handBack(xcb_connection_t* qt) {
        if (!qt) return;
        bool any = false;
        for (int mode : {0, 1}) {
            if (!m_held[mode].bytes) continue;
            xcb_set_selection_owner(qt, m_held[mode].window, m_selections[mode], m_held[mode].time);
            any = true;
        }
        // A round trip on Qt's connection: the server has taken them before this one closes.
        if (any)
            XcbReply<xcb_get_selection_owner_reply_t>(xcb_get_selection_owner_reply(
                qt, xcb_get_selection_owner(qt, m_selections[0]), nullptr));
    }

private:
    struct Held {
        xcb_window_t window = XCB_NONE;
        quint32 time = 0;
        std::shared_ptr<const PendingImageBytes> bytes;
    };

    std::optional<QClipboard::Mode> modeOf(xcb_atom_t selection) const {
        if (selection == m_selections[QClipboard::Clipboard]) return QClipboard::Clipboard;
        if (selection == m_selections[QClipboard::Selection]) return QClipboard::Selection;
        return std::nullopt;
    }

    void wake() {
        const uint64_t one = 1;
        if (m_wake >= 0) (void)!write(m_wake, &one, sizeof one);
    }

    template <class T>
    void push(std::deque<T>& queue, T item) {
        {
            std::lock_guard lock(m_mutex);
            queue.push_back(std::move(item));
        }
        wake();
    }

    template <class T>
    std::optional<T> next(std::deque<T>& queue) {
        std::lock_guard lock(m_mutex);
        if (queue.empty()) return std::nullopt;
        T item = std::move(queue.front());
        queue.pop_front();
        return item;
    }

    void serve(X11SelectionSender& sender, const Request& r) {
        // The first paste of a copy may come before the encoder is done: it waits here, not on
        // the main thread.
        const auto outcome = r.bytes->wait(r.type, m_options.waitMs);
        const bool ready = outcome && outcome->has_value();
        sender.send(r.event, ready ? &outcome->value() : nullptr);
    }

    void take(const Claim& c) {
        Held& held = m_held[c.mode];
        held = {};
        if (!c.bytes || c.time == 0) return;
        const xcb_atom_t selection = m_selections[c.mode];
        XcbReply<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(m_c, xcb_get_selection_owner(m_c, selection), nullptr));
        if (!owner || owner->owner == XCB_NONE) return;
        // At Qt's own time: the server refuses it if anyone took the selection since, and Qt
        // ignores the SelectionClear it receives for a time not after its own.
        xcb_set_selection_owner(m_c, owner->owner, selection, c.time);
        held = {owner->owner, c.time, c.bytes};
    }

    void answer(X11SelectionSender& sender, const xcb_selection_request_event_t& e) {
        const auto mode = modeOf(e.selection);
        const Held* held = mode ? &m_held[*mode] : nullptr;
        if (!held || !held->bytes || e.owner != held->window || stampedBefore(e.time, held->time))
            return sender.send(e, nullptr);
        // The targets Qt would list, in its order.
        if (e.target == m_targets)
            return sender.sendValues(
                e, XCB_ATOM_ATOM,
                {m_png, m_tiff, m_targets, m_multiple, m_timestamp, m_saveTargets});
        if (e.target == m_timestamp) return sender.sendValues(e, XCB_ATOM_INTEGER, {held->time});
        if (const auto asked = classify(e)) return serve(sender, {e, held->bytes, asked->second});
        // The rest (MULTIPLE above all) is Qt's to answer, as if the request had come to it:
        // the window is its own, and its content the same.
        toQt(e, e.owner);
    }

    // An event sent to a window with no mask goes to the client that made it: Qt.
    template <class Event>
    void toQt(const Event& e, xcb_window_t qtWindow) {
        char event[32] = {};
        std::memcpy(event, &e, sizeof e);
        xcb_send_event(m_c, 0, qtWindow, XCB_EVENT_MASK_NO_EVENT, event);
    }

    void lose(const xcb_selection_clear_event_t& e) {
        const auto mode = modeOf(e.selection);
        if (!mode) return;
        // A clear for a time not after the claim's concerns an earlier one.
        if (m_held[*mode].bytes && qint32(e.time - m_held[*mode].time) > 0) m_held[*mode] = {};
        // Qt held the selection before this connection: it learns of the new owner as if it
        // had kept it, and ignores a clear for its own time.
        toQt(e, e.owner);
    }

    void handle(X11SelectionSender& sender, const xcb_generic_event_t* e) {
        if (sender.handle(e)) return;
        switch (e->response_type & 0x7f) {
            case XCB_SELECTION_REQUEST:
                return answer(sender, *reinterpret_cast<const xcb_selection_request_event_t*>(e));
            case XCB_SELECTION_CLEAR:
                return lose(*reinterpret_cast<const xcb_selection_clear_event_t*>(e));
        }
    }

    void loop() {
        X11SelectionSender sender(m_c, m_incr, m_options.chunkBytes);
        pollfd fds[2] = {{xcb_get_file_descriptor(m_c), POLLIN, 0}, {m_wake, POLLIN, 0}};
        while (!m_stop && !xcb_connection_has_error(m_c)) {
            while (auto c = next(m_claims)) take(*c);
            while (auto r = next(m_requests)) serve(sender, *r);
            xcb_flush(m_c);
            // A flush may read events too: take them all before sleeping.
            while (XcbReply<xcb_generic_event_t> e{xcb_poll_for_event(m_c)}) {
                handle(sender, e.get());
                xcb_flush(m_c);
            }
            sender.expire(std::chrono::milliseconds(m_options.waitMs));
            xcb_flush(m_c);
            poll(fds, 2, sender.busy() ? 1000 : -1);
            uint64_t count = 0;
            if (fds[1].revents & POLLIN) (void)!read(m_wake, &count, sizeof count);
        }
    }

    xcb_connection_t* m_c;
    X11ClipboardServer::Options m_options;
    int m_wake;
    std::array<xcb_atom_t, 2> m_selections;  // by QClipboard::Mode
    xcb_atom_t m_png, m_tiff, m_incr, m_targets, m_timestamp, m_multiple, m_saveTargets;
    std::array<Held, 2> m_held;  // the serving thread's, then handBack's
    std::mutex m_mutex;
    std::deque<Request> m_requests;
    std::deque<Claim> m_claims;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

std::unique_ptr<X11ClipboardServer> X11ClipboardServer::start(Lookup lookup, Options options) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return nullptr;
    }
    auto worker = std::make_unique<Worker>(c, options);
    if (!worker->usable()) return nullptr;
    worker->run();
    std::unique_ptr<X11ClipboardServer> server(
        new X11ClipboardServer(std::move(lookup), std::move(worker)));
    QCoreApplication::instance()->installNativeEventFilter(server.get());
    return server;
}

X11ClipboardServer::X11ClipboardServer(Lookup lookup, std::unique_ptr<Worker> worker)
    : m_lookup(std::move(lookup)), m_worker(std::move(worker)) {
    // Qt announces every change of content, its own as it takes the selection and another
    // owner's as it loses it. What is on the clipboard is looked up then, not on each paste:
    // Qt asks the server who owns the selection first, a round trip through its event thread.
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, &m_connections,
                     [this](QClipboard::Mode mode) { remember(mode); });
    for (QClipboard::Mode mode : {QClipboard::Clipboard, QClipboard::Selection}) remember(mode);
}

void X11ClipboardServer::remember(QClipboard::Mode mode) {
    if (mode != QClipboard::Clipboard && mode != QClipboard::Selection) return;
    m_ownedSince[mode] = qtServerTime();
    m_content[mode] = m_lookup(mode);
    m_worker->post(Worker::Claim{mode, m_ownedSince[mode], m_content[mode]});
}

bool X11ClipboardServer::predatesOwnership(QClipboard::Mode mode, quint32 requestTime) const {
    // Qt refuses such a request.
    return stampedBefore(requestTime, m_ownedSince[mode]);
}

X11ClipboardServer::~X11ClipboardServer() {
    if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
    m_worker->stop();
    m_worker->handBack(qtConnection());
}

bool X11ClipboardServer::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_SELECTION_REQUEST) return false;
    const auto& request = *reinterpret_cast<const xcb_selection_request_event_t*>(event);
    const auto asked = m_worker->classify(request);
    if (!asked || predatesOwnership(asked->first, request.time)) return false;
    // Content that is not an image of Tessik's is Qt's to answer. A request reaching us means
    // the server still counts us as the owner.
    const auto& bytes = m_content[asked->first];
    if (!bytes) return false;
    m_worker->post(Worker::Request{request, bytes, asked->second});
    return true;
}
