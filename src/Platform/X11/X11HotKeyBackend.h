#pragma once

#include <map>
#include <utility>
#include <vector>

#include <QAbstractNativeEventFilter>
#include <QList>

#include "GlobalShortcuts/HotKeyBackend.h"

struct xcb_connection_t;
struct xcb_key_press_event_t;

// Global hot keys on X11: a passive grab of the key on the root window for every combination of
// the Lock and NumLock modifiers, as checked requests on Qt's own connection. Key events come
// through one native event filter. Main thread only.
class X11HotKeyBackend final : public GlobalShortcuts::HotKeyBackend,
                               public QAbstractNativeEventFilter {
public:
    // Qt's connection; without one (another platform) every registration is refused.
    X11HotKeyBackend();
    explicit X11HotKeyBackend(xcb_connection_t* connection);
    ~X11HotKeyBackend() override;

    std::expected<Reference, int> registerHotKey(quint32 keyCode, quint32 modifiers,
                                                 quint32 signature, quint32 id) override;
    void unregisterHotKey(Reference reference) override;
    bool installEventHandler(EventHandler handler) override;
    void setHotKeyEventsEnabled(bool enabled) override { m_hotKeyEvents = enabled; }
    void setRawKeyEventsEnabled(bool enabled) override { m_rawKeyEvents = enabled; }
    std::optional<QList<GlobalShortcuts::SystemHotKey>> systemHotKeys() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // Classic modifier bits <-> X modifier masks (command = Control, control = Mod4 (Super),
    // option = Mod1 (Alt), shift = Shift). The function bit has no X counterpart.
    static std::optional<quint16> xModifiers(quint32 carbonModifiers);
    static quint32 carbonModifiers(quint16 xState);

private:
    using Combination = std::pair<quint32, quint16>;  // X keycode, modifier mask
    struct Registration {
        // One per keycode of the key: Print also answers on F13's keycode, and so on.
        std::vector<Combination> combinations;
        quint32 signature = 0;
        quint32 id = 0;
    };

    int grab(const Combination& combination);
    void ungrab(const Combination& combination);
    // Counted: the server keeps one grab per combination and client; registrations share it.
    int acquire(const Combination& combination);
    void release(const Combination& combination);
    QList<quint16> lockVariants() const;
    void refreshNumLockMask();
    bool handleKey(const xcb_key_press_event_t* event, bool press);
    bool deliverHotKey(const xcb_key_press_event_t* event, bool press);

    xcb_connection_t* m_connection = nullptr;
    quint32 m_root = 0;
    quint8 m_xkbFirstEvent = 0;
    quint16 m_numLockMask = 0;
    EventHandler m_handler;
    bool m_filterInstalled = false;
    bool m_hotKeyEvents = false;
    bool m_rawKeyEvents = false;
    Reference m_nextReference = 1;
    std::map<Reference, Registration> m_registrations;
    std::map<Combination, int> m_grabCounts;
    // Keys whose press was delivered, by X keycode, waiting for their release.
    std::map<quint32, QList<Registration>> m_pressed;
};
