#pragma once

#include <expected>
#include <functional>
#include <optional>

#include <QList>
#include <QtGlobal>

namespace GlobalShortcuts {

// The registry's hot-key signature "HKRG", first character in the most significant byte.
inline constexpr quint32 hotKeySignature =
    quint32('H') << 24 | quint32('K') << 16 | quint32('R') << 8 | quint32('G');

// Statuses the registry's event handler returns: handled, or let the event pass on.
inline constexpr int noErr = 0;
inline constexpr int eventNotHandledErr = -9874;

// One keyboard event handed to the registry by the platform.
struct HotKeyEvent {
    // A backend that learns the platform's answer later (a desktop portal) accepts at once and
    // reports a refusal afterwards as `registrationRefused`, with the identity and the status.
    enum Kind {
        rawKeyDown = 1,
        rawKeyUp = 3,
        hotKeyPressed = 5,
        hotKeyReleased = 6,
        registrationRefused = 64
    };
    int kind = 0;
    // Hot-key events: the identity the hot key was registered with.
    quint32 signature = 0;
    quint32 id = 0;
    // Raw key events: the key code and classic modifier bits of the key.
    quint32 keyCode = 0;
    quint32 modifiers = 0;
    // Refusals: the platform's status.
    int status = 0;
};

// A shortcut the desktop itself uses, as the desktop lists it.
struct SystemHotKey {
    bool enabled = false;
    qint64 keyCode = 0;
    qint64 modifiers = 0;  // classic bits
};

// The platform's system-wide hot-key service. One implementation per windowing system, a fake
// in tests; installed once at start-up.
class HotKeyBackend {
public:
    using Reference = quint64;
    using EventHandler = std::function<int(const HotKeyEvent&)>;

    virtual ~HotKeyBackend() = default;
    // Registers key code and classic modifiers under the identity (signature, id); afterwards
    // every press and release anywhere reaches the event handler as a hot-key event while hot-key
    // events are on. Fails with the platform's status.
    virtual std::expected<Reference, int> registerHotKey(quint32 keyCode, quint32 modifiers,
                                                         quint32 signature, quint32 id) = 0;
    virtual void unregisterHotKey(Reference reference) = 0;
    // Installs the one handler of the registry; false when the platform cannot.
    virtual bool installEventHandler(EventHandler handler) = 0;
    virtual void setHotKeyEventsEnabled(bool enabled) = 0;
    // While on, key presses and releases that reach the application (a menu holds the
    // keyboard) go to the handler as raw key events first; a handled one is consumed.
    virtual void setRawKeyEventsEnabled(bool enabled) = 0;
    // The desktop's own global bindings; none on a platform error.
    virtual std::optional<QList<SystemHotKey>> systemHotKeys() = 0;
};

}  // namespace GlobalShortcuts
