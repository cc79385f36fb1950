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

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    XcbReply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

}  // namespace

// The serving thread: requests handed over by the main thread are answered in turn, and the
// chunks of long transfers follow the requestors' pace.
class X11ClipboardServer::Worker {
public:
    struct Request {
        xcb_selection_request_event_t event;
        std::shared_ptr<const PendingImageBytes> bytes;
        QString type;
    };

    Worker(xcb_connection_t* c, X11ClipboardServer::Options options)
        : m_c(c),
          m_options(options),
          m_wake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
          m_clipboard(intern(c, "CLIPBOARD")),
          m_png(intern(c, "image/png")),
          m_tiff(intern(c, "image/tiff")),
          m_incr(intern(c, "INCR")) {}

    ~Worker() {
        m_stop = true;
        wake();
        if (m_thread.joinable()) m_thread.join();
        xcb_disconnect(m_c);
        if (m_wake >= 0) close(m_wake);
    }

    bool usable() const { return m_wake >= 0 && m_incr != XCB_ATOM_NONE; }
    void run() {
        m_thread = std::thread([this] { loop(); });
    }

    // The clipboard a request is for, and the type it asks for; nothing when it is not ours.
    std::optional<std::pair<QClipboard::Mode, QString>> classify(
        const xcb_selection_request_event_t& e) const {
        std::optional<QClipboard::Mode> mode;
        if (e.selection == m_clipboard) mode = QClipboard::Clipboard;
        if (e.selection == XCB_ATOM_PRIMARY) mode = QClipboard::Selection;
        if (!mode) return std::nullopt;
        if (e.target == m_png) return std::pair(*mode, ImageEncoder::png);
        if (e.target == m_tiff) return std::pair(*mode, ImageEncoder::tiff);
        return std::nullopt;
    }

    void post(Request request) {
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(std::move(request));
        }
        wake();
    }

private:
    void wake() {
        const uint64_t one = 1;
        if (m_wake >= 0) (void)!write(m_wake, &one, sizeof one);
    }

    std::optional<Request> nextRequest() {
        std::lock_guard lock(m_mutex);
        if (m_requests.empty()) return std::nullopt;
        Request r = std::move(m_requests.front());
        m_requests.pop_front();
        return r;
    }

    void serve(X11SelectionSender& sender, const Request& r) {
        // The first paste of a copy may come before the encoder is done: it waits here, not on
        // the main thread.
        const auto outcome = r.bytes->wait(r.type, m_options.waitMs);
        const bool ready = outcome && outcome->has_value();
        sender.send(r.event, ready ? &outcome->value() : nullptr);
    }

    void loop() {
        X11SelectionSender sender(m_c, m_incr, m_options.chunkBytes);
        pollfd fds[2] = {{xcb_get_file_descriptor(m_c), POLLIN, 0}, {m_wake, POLLIN, 0}};
        while (!m_stop && !xcb_connection_has_error(m_c)) {
            while (auto r = nextRequest()) serve(sender, *r);
            xcb_flush(m_c);
            // A flush may read events too: take them all before sleeping.
            while (XcbReply<xcb_generic_event_t> e{xcb_poll_for_event(m_c)}) {
                sender.handle(e.get());
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
    xcb_atom_t m_clipboard, m_png, m_tiff, m_incr;
    std::mutex m_mutex;
    std::deque<Request> m_requests;
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
}

bool X11ClipboardServer::predatesOwnership(QClipboard::Mode mode, quint32 requestTime) const {
    // A request stamped before the selection was ours asks for what another owner held then
    // (ICCCM): Qt refuses it. Times wrap after 49 days, hence the signed difference.
    const quint32 since = m_ownedSince[mode];
    return requestTime != XCB_CURRENT_TIME && since != 0 && qint32(requestTime - since) < 0;
}

X11ClipboardServer::~X11ClipboardServer() {
    if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
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
    m_worker->post({request, bytes, asked->second});
    return true;
}
