#include "Platform/X11/X11HotKeyBackend.h"

#include <algorithm>
#include <vector>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <QGuiApplication>
// xkb.h has a member named `explicit`.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include "GlobalShortcuts/Key.h"
#include "GlobalShortcuts/Modifiers.h"
#include "Platform/X11/DesktopBindings.h"
#include "Platform/X11/QtConnection.h"
#include "Platform/X11/XcbHandles.h"

using namespace GlobalShortcuts;

namespace {
constexpr int kBadValue = 2;
constexpr int kBadImplementation = 17;
constexpr quint32 kNumLockKeysym = 0xff7f;
constexpr quint16 kRelevantMask =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

constexpr std::pair<qint64, quint16> kModifierMasks[] = {
    {CarbonModifier::command, XCB_MOD_MASK_CONTROL},
    {CarbonModifier::shift, XCB_MOD_MASK_SHIFT},
    {CarbonModifier::option, XCB_MOD_MASK_1},
    {CarbonModifier::control, XCB_MOD_MASK_4},
};

// The modifier bit that NumLock's keycode is mapped to, found at run time (Mod2 usually).
quint16 findNumLockMask(xcb_connection_t* c) {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    if (!symbols) return 0;
    std::unique_ptr<xcb_keycode_t, XcbFree> keycodes(
        xcb_key_symbols_get_keycode(symbols, kNumLockKeysym));
    xcb_key_symbols_free(symbols);
    if (!keycodes) return 0;
    XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!mapping) return 0;
    const xcb_keycode_t* map = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier)
        for (int i = 0; i < perModifier; ++i)
            for (const xcb_keycode_t* k = keycodes.get(); *k != XCB_NO_SYMBOL; ++k)
                if (map[modifier * perModifier + i] == *k) return quint16(1u << modifier);
    return 0;
}
}  // namespace

X11HotKeyBackend::X11HotKeyBackend() : X11HotKeyBackend(qtConnection()) {
}

X11HotKeyBackend::X11HotKeyBackend(xcb_connection_t* connection) : m_connection(connection) {
    if (!m_connection || xcb_connection_has_error(m_connection)) {
        m_connection = nullptr;
        return;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    if (const auto* xkb = xcb_get_extension_data(m_connection, &xcb_xkb_id); xkb && xkb->present)
        m_xkbFirstEvent = xkb->first_event;
    m_numLockMask = findNumLockMask(m_connection);
}

X11HotKeyBackend::~X11HotKeyBackend() {
    // The server drops every grab with the connection; only the filter must go.
    if (m_filterInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

std::optional<quint16> X11HotKeyBackend::xModifiers(quint32 carbon) {
    if (carbon & CarbonModifier::function) return std::nullopt;
    quint16 mask = 0;
    for (const auto& [bit, x] : kModifierMasks)
        if (carbon & bit) mask |= x;
    return mask;
}

quint32 X11HotKeyBackend::carbonModifiers(quint16 state) {
    quint32 carbon = 0;
    for (const auto& [bit, x] : kModifierMasks)
        if (state & x) carbon |= quint32(bit);
    return carbon;
}

QList<quint16> X11HotKeyBackend::lockVariants() const {
    QList<quint16> variants{0, XCB_MOD_MASK_LOCK};
    if (m_numLockMask && m_numLockMask != XCB_MOD_MASK_LOCK)
        variants << m_numLockMask << quint16(m_numLockMask | XCB_MOD_MASK_LOCK);
    return variants;
}

int X11HotKeyBackend::grab(const Combination& combination) {
    const auto [keycode, mask] = combination;
    // All requests first, then their answers: one round trip.
    std::vector<xcb_void_cookie_t> cookies;
    const QList<quint16> variants = lockVariants();
    for (const quint16 lock : variants)
        cookies.push_back(xcb_grab_key_checked(m_connection, 1, m_root, mask | lock,
                                               xcb_keycode_t(keycode), XCB_GRAB_MODE_ASYNC,
                                               XCB_GRAB_MODE_ASYNC));
    int status = 0;
    QList<quint16> granted;
    for (size_t i = 0; i < cookies.size(); ++i) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookies[i]));
        if (!error)
            granted << variants[qsizetype(i)];
        else if (!status)
            status = error->error_code;
    }
    if (status) {
        // Another client holds part of it: give back what we got.
        for (const quint16 lock : granted)
            xcb_ungrab_key(m_connection, xcb_keycode_t(keycode), m_root, mask | lock);
        xcb_flush(m_connection);
    }
    return status;
}

void X11HotKeyBackend::ungrab(const Combination& combination) {
    for (const quint16 lock : lockVariants())
        xcb_ungrab_key(m_connection, xcb_keycode_t(combination.first), m_root,
                       combination.second | lock);
    xcb_flush(m_connection);
}

int X11HotKeyBackend::acquire(const Combination& combination) {
    if (m_grabCounts[combination] == 0)
        if (const int status = grab(combination)) {
            m_grabCounts.erase(combination);
            return status;
        }
    ++m_grabCounts[combination];
    return 0;
}

void X11HotKeyBackend::release(const Combination& combination) {
    if (--m_grabCounts[combination] > 0) return;
    m_grabCounts.erase(combination);
    ungrab(combination);
}

std::expected<X11HotKeyBackend::Reference, int> X11HotKeyBackend::registerHotKey(quint32 keyCode,
                                                                                 quint32 modifiers,
                                                                                 quint32 signature,
                                                                                 quint32 id) {
    if (!m_connection) return std::unexpected(kBadImplementation);
    const std::vector<quint32> keycodes = xKeycodes(Key(keyCode));
    const auto mask = xModifiers(modifiers);
    if (keycodes.empty() || !mask) return std::unexpected(kBadValue);
    // The key's own keycode decides; a second one (F13 for Print) is taken when it is free.
    Registration registration{{}, signature, id};
    for (const quint32 keycode : keycodes) {
        const Combination combination{keycode, *mask};
        const int status = acquire(combination);
        if (status && registration.combinations.empty()) return std::unexpected(status);
        if (!status) registration.combinations.push_back(combination);
    }
    const Reference reference = m_nextReference++;
    m_registrations[reference] = std::move(registration);
    return reference;
}

void X11HotKeyBackend::unregisterHotKey(Reference reference) {
    const auto it = m_registrations.find(reference);
    if (it == m_registrations.end()) return;
    const std::vector<Combination> combinations = it->second.combinations;
    m_registrations.erase(it);
    for (const Combination& combination : combinations) release(combination);
}

bool X11HotKeyBackend::installEventHandler(EventHandler handler) {
    if (!m_connection || !QCoreApplication::instance()) return false;
    m_handler = std::move(handler);
    if (!m_filterInstalled) QCoreApplication::instance()->installNativeEventFilter(this);
    m_filterInstalled = true;
    return true;
}

std::optional<QList<SystemHotKey>> X11HotKeyBackend::systemHotKeys() {
    return DesktopBindings::current();
}

void X11HotKeyBackend::refreshNumLockMask() {
    const quint16 mask = findNumLockMask(m_connection);
    if (mask == m_numLockMask) return;
    // The lock variants changed: grab every combination again with the new ones.
    for (const auto& [combination, count] : m_grabCounts) ungrab(combination);
    m_numLockMask = mask;
    for (const auto& [combination, count] : m_grabCounts) grab(combination);
}

bool X11HotKeyBackend::deliverHotKey(const xcb_key_press_event_t* event, bool press) {
    const quint16 state = event->state & kRelevantMask & ~m_numLockMask;
    QList<Registration> targets;
    if (press) {
        for (const auto& [reference, registration] : m_registrations)
            if (std::ranges::find(registration.combinations, Combination{event->detail, state}) !=
                registration.combinations.end())
                targets << registration;
        if (targets.isEmpty()) return false;
        m_pressed[event->detail] = targets;
    } else {
        // Modifiers are often let go first: a release belongs to the press of the same key.
        const auto it = m_pressed.find(event->detail);
        if (it == m_pressed.end()) return false;
        targets = it->second;
        m_pressed.erase(it);
    }
    bool handled = false;
    for (const Registration& registration : targets) {
        HotKeyEvent e;
        e.kind = press ? HotKeyEvent::hotKeyPressed : HotKeyEvent::hotKeyReleased;
        e.signature = registration.signature;
        e.id = registration.id;
        handled = m_handler(e) == noErr || handled;
    }
    return handled;
}

bool X11HotKeyBackend::handleKey(const xcb_key_press_event_t* event, bool press) {
    if (!m_handler) return false;
    if (m_hotKeyEvents && event->event == m_root && deliverHotKey(event, press)) return true;
    if (m_rawKeyEvents && event->event != m_root) {
        const auto key = keyForXKeycode(event->detail);
        if (!key) return false;
        HotKeyEvent e;
        e.kind = press ? HotKeyEvent::rawKeyDown : HotKeyEvent::rawKeyUp;
        e.keyCode = quint32(key->rawValue);
        e.modifiers = carbonModifiers(event->state & kRelevantMask & ~m_numLockMask);
        return m_handler(e) == noErr;
    }
    return false;
}

bool X11HotKeyBackend::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !m_connection) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7f;
    switch (type) {
        case XCB_KEY_PRESS:
        case XCB_KEY_RELEASE:
            return handleKey(reinterpret_cast<const xcb_key_press_event_t*>(event),
                             type == XCB_KEY_PRESS);
        case XCB_MAPPING_NOTIFY:
            refreshNumLockMask();
            return false;
        default:
            break;
    }
    if (m_xkbFirstEvent && type == m_xkbFirstEvent) {
        const quint8 xkbType =
            reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t*>(event)->xkbType;
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY)
            refreshNumLockMask();
    }
    return false;
}
