#include "Platform/Wayland/WaylandSelection.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QList>
#include <QThreadPool>

#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

struct WaylandSelection::Connection {
    wl_display* display = nullptr;
    wl_event_queue* queue = nullptr;
    wl_display* wrapper = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_data_device_manager* manager = nullptr;
    wl_data_device* device = nullptr;
    QMetaObject::Connection dispatching;

    bool hasKeyboard = false;
    uint32_t enterSerial = 0;
    QList<wl_data_source*> sources;  // the last one is the selection
    Bytes bytes;

    ~Connection();
    void dispatch() { wl_display_dispatch_queue_pending(display, queue); }
    void send(wl_data_source* source, const char* type, int fd);
};

namespace {

using Connection = WaylandSelection::Connection;

void registryGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                    uint32_t version) {
    auto* c = static_cast<Connection*>(data);
    if (!c->seat && std::strcmp(interface, wl_seat_interface.name) == 0)
        c->seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
    else if (!c->manager && std::strcmp(interface, wl_data_device_manager_interface.name) == 0)
        c->manager = static_cast<wl_data_device_manager*>(wl_registry_bind(
            registry, name, &wl_data_device_manager_interface, std::min(version, 3u)));
}
void registryGlobalRemove(void*, wl_registry*, uint32_t) {
}
const wl_registry_listener registryListener{registryGlobal, registryGlobalRemove};

void keymap(void*, wl_keyboard*, uint32_t, int fd, uint32_t) {
    close(fd);
}
void enter(void* data, wl_keyboard*, uint32_t serial, wl_surface*, wl_array*) {
    auto* c = static_cast<Connection*>(data);
    c->hasKeyboard = true;
    c->enterSerial = serial;
}
void leave(void* data, wl_keyboard*, uint32_t, wl_surface*) {
    static_cast<Connection*>(data)->hasKeyboard = false;
}
void key(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {
}
void modifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {
}
void repeatInfo(void*, wl_keyboard*, int32_t, int32_t) {
}
const wl_keyboard_listener keyboardListener{keymap, enter, leave, key, modifiers, repeatInfo};

// What others offer is of no use here: each offer is dropped as soon as it is known.
void dataOffer(void*, wl_data_device*, wl_data_offer*) {
}
void dndEnter(void*, wl_data_device*, uint32_t, wl_surface*, wl_fixed_t, wl_fixed_t,
              wl_data_offer* offer) {
    if (offer) wl_data_offer_destroy(offer);
}
void dndLeave(void*, wl_data_device*) {
}
void dndMotion(void*, wl_data_device*, uint32_t, wl_fixed_t, wl_fixed_t) {
}
void dndDrop(void*, wl_data_device*) {
}
void selection(void*, wl_data_device*, wl_data_offer* offer) {
    if (offer) wl_data_offer_destroy(offer);
}
const wl_data_device_listener deviceListener{dataOffer, dndEnter, dndLeave,
                                             dndMotion, dndDrop,  selection};

void target(void*, wl_data_source*, const char*) {
}
void send(void* data, wl_data_source* source, const char* type, int fd) {
    static_cast<Connection*>(data)->send(source, type, fd);
}
void cancelled(void* data, wl_data_source* source) {
    // Another client took the clipboard.
    static_cast<Connection*>(data)->sources.removeOne(source);
    wl_data_source_destroy(source);
}
// Drag-and-drop events of a version 3 source: never sent for a clipboard offer, but a listener
// without them would crash libwayland if one came.
void dndDropPerformed(void*, wl_data_source*) {
}
void dndFinished(void*, wl_data_source*) {
}
void action(void*, wl_data_source*, uint32_t) {
}
const wl_data_source_listener sourceListener{target,           send,        cancelled,
                                             dndDropPerformed, dndFinished, action};

wl_display* qtDisplay() {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return nullptr;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    return native ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"))
                  : nullptr;
}

void writeAll(int fd, const QByteArray& data) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the reader went away
        done += n;
    }
}

}  // namespace

void Connection::send(wl_data_source* source, const char* type, int fd) {
    if (sources.isEmpty() || sources.last() != source || !bytes) {
        close(fd);
        return;
    }
    // The bytes may still be in the encoder's hands: waited for off the main thread.
    QThreadPool::globalInstance()->start([serve = bytes, type = QString::fromUtf8(type), fd] {
        writeAll(fd, serve(type));
        close(fd);
    });
}

Connection::~Connection() {
    QObject::disconnect(dispatching);
    for (wl_data_source* s : sources) wl_data_source_destroy(s);
    if (device) wl_data_device_destroy(device);
    if (keyboard) wl_keyboard_destroy(keyboard);
    if (manager) wl_data_device_manager_destroy(manager);
    if (seat) wl_seat_destroy(seat);
    if (registry) wl_registry_destroy(registry);
    if (wrapper) wl_proxy_wrapper_destroy(wrapper);
    if (queue) wl_event_queue_destroy(queue);
}

std::unique_ptr<WaylandSelection> WaylandSelection::forApplication() {
    wl_display* display = qtDisplay();
    auto* dispatcher = QAbstractEventDispatcher::instance();
    if (!display || !dispatcher) return nullptr;
    auto c = std::make_unique<Connection>();
    c->display = display;
    c->queue = wl_display_create_queue(display);
    c->wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(c->wrapper), c->queue);
    c->registry = wl_display_get_registry(c->wrapper);
    wl_registry_add_listener(c->registry, &registryListener, c.get());
    wl_display_roundtrip_queue(display, c->queue);
    if (!c->seat || !c->manager) return nullptr;
    c->keyboard = wl_seat_get_keyboard(c->seat);
    wl_keyboard_add_listener(c->keyboard, &keyboardListener, c.get());
    c->device = wl_data_device_manager_get_data_device(c->manager, c->seat);
    wl_data_device_add_listener(c->device, &deviceListener, c.get());
    wl_display_flush(display);
    // Qt reads the connection; what it read for this queue is handled before the loop waits.
    c->dispatching = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                      [raw = c.get()] { raw->dispatch(); });
    return std::unique_ptr<WaylandSelection>(new WaylandSelection(std::move(c)));
}

WaylandSelection::WaylandSelection(std::unique_ptr<Connection> connection)
    : m_connection(std::move(connection)) {
}

WaylandSelection::~WaylandSelection() = default;

bool WaylandSelection::offer(const QStringList& types, Bytes bytes) {
    Connection& c = *m_connection;
    // Qt has seen the keyboard come; this queue learns it from the same read, or a round trip.
    c.dispatch();
    if (!c.hasKeyboard) wl_display_roundtrip_queue(c.display, c.queue);
    if (!c.hasKeyboard) return false;
    wl_data_source* source = wl_data_device_manager_create_data_source(c.manager);
    wl_data_source_add_listener(source, &sourceListener, &c);
    for (const QString& type : types) wl_data_source_offer(source, type.toUtf8().constData());
    c.sources.append(source);
    c.bytes = std::move(bytes);
    wl_data_device_set_selection(c.device, source, c.enterSerial);
    wl_display_flush(c.display);
    return true;
}
