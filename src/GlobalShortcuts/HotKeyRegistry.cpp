#include "GlobalShortcuts/HotKeyRegistry.h"

#include <cstdio>
#include <map>

#include "GlobalShortcuts/GlobalShortcuts.h"

namespace GlobalShortcuts::HotKeyRegistry {

namespace {
// X's BadValue: what a key code or modifier set the platform cannot take is refused with.
constexpr int kBadValue = 2;
constexpr int kNoBackend = -1;

struct State {
    qint64 hotKeyId = 0;
    std::map<qint64, HotKey> hotKeys;
    bool eventHandlerInstalled = false;
    std::unique_ptr<HotKeyBackend> backend;
};
State& state() {
    static State s;
    return s;
}

void printRefusal(const Shortcut& shortcut, int status) {
    const QByteArray line = "Error registering hotkey " +
                            shortcut.presentableDescription().toUtf8() + ": " +
                            QByteArray::number(status) + "\n";
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

bool fitsUnsigned32(qint64 v) {
    return v >= 0 && v <= 0xFFFFFFFFll;
}

// A global grab of a key with no modifier but Shift takes that key from every application (a
// bare "2" could no longer be typed anywhere): only function keys may stand alone, as in the
// recorder.
bool takesOrdinaryTyping(const Shortcut& s) {
    const qint64 held = normalizedCarbonModifiers(s.carbonModifiers) &
                        ~(CarbonModifier::shift | CarbonModifier::function);
    return held == 0 && !isFunctionKey(s.key());
}

std::expected<HotKeyBackend::Reference, int> platformRegister(const Shortcut& s, qint64 id) {
    if (!state().backend) return std::unexpected(kNoBackend);
    if (!fitsUnsigned32(s.carbonKeyCode) || !fitsUnsigned32(s.carbonModifiers) ||
        takesOrdinaryTyping(s))
        return std::unexpected(kBadValue);
    return state().backend->registerHotKey(quint32(s.carbonKeyCode), quint32(s.carbonModifiers),
                                           hotKeySignature, quint32(id));
}

void withdrawAll() {
    for (auto& [id, hotKey] : state().hotKeys) {
        if (hotKey.carbonHotKey) state().backend->unregisterHotKey(*hotKey.carbonHotKey);
        hotKey.carbonHotKey.reset();
    }
}

void installEventHandlerIfNeeded() {
    if (state().eventHandlerInstalled || !state().backend) return;
    if (!state().backend->installEventHandler(
            [](const HotKeyEvent& e) { return hotKeyRegistryEventHandler(&e); }))
        return;
    state().eventHandlerInstalled = true;
    updateEventHandler();
}

void run(const Callback& callback, const Shortcut& shortcut) {
    if (callback) callback(shortcut);
}
}  // namespace

void registerHotKey(const Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp) {
    const qint64 id = ++state().hotKeyId;
    const auto reference = platformRegister(shortcut, id);
    if (!reference) {
        printRefusal(shortcut, reference.error());
        return;
    }
    state().hotKeys[id] =
        HotKey{shortcut, id, *reference, std::move(onKeyDown), std::move(onKeyUp)};
    installEventHandlerIfNeeded();
}

void unregister(const Shortcut& shortcut) {
    auto& hotKeys = state().hotKeys;
    for (auto it = hotKeys.begin(); it != hotKeys.end();) {
        if (!(it->second.shortcut == shortcut)) {
            ++it;
            continue;
        }
        if (it->second.carbonHotKey) state().backend->unregisterHotKey(*it->second.carbonHotKey);
        it = hotKeys.erase(it);
    }
}

void updateEventHandler() {
    if (!state().eventHandlerInstalled) return;
    HotKeyBackend& backend = *state().backend;
    if (!GlobalShortcuts::isEnabled()) {
        withdrawAll();
        backend.setHotKeyEventsEnabled(false);
        backend.setRawKeyEventsEnabled(false);
    } else if (GlobalShortcuts::isMenuOpen()) {
        withdrawAll();
        backend.setHotKeyEventsEnabled(false);
        backend.setRawKeyEventsEnabled(true);
    } else {
        softRegisterAll();
        backend.setRawKeyEventsEnabled(false);
        backend.setHotKeyEventsEnabled(true);
    }
}

void softRegisterAll() {
    auto& hotKeys = state().hotKeys;
    for (auto it = hotKeys.begin(); it != hotKeys.end();) {
        HotKey& hotKey = it->second;
        if (hotKey.carbonHotKey) {
            ++it;
            continue;
        }
        const auto reference = platformRegister(hotKey.shortcut, hotKey.carbonHotKeyId);
        if (reference) {
            hotKey.carbonHotKey = *reference;
            ++it;
        } else {
            printRefusal(hotKey.shortcut, reference.error());
            it = hotKeys.erase(it);
        }
    }
}

QList<Shortcut> system() {
    QList<Shortcut> shortcuts;
    if (!state().backend) return shortcuts;
    const auto listed = state().backend->systemHotKeys();
    if (!listed) return shortcuts;
    for (const SystemHotKey& hotKey : *listed)
        if (hotKey.enabled) shortcuts.append(Shortcut(hotKey.keyCode, hotKey.modifiers));
    return shortcuts;
}

int hotKeyRegistryEventHandler(const HotKeyEvent* event) {
    if (!event) return eventNotHandledErr;
    switch (event->kind) {
        case HotKeyEvent::rawKeyDown:
        case HotKeyEvent::rawKeyUp:
            return handleRawKeyEvent(*event);
        case HotKeyEvent::hotKeyPressed:
        case HotKeyEvent::hotKeyReleased:
            return handleHotKeyEvent(*event);
        case HotKeyEvent::registrationRefused:
            return handleRefusal(*event);
        default:
            return eventNotHandledErr;
    }
}

int handleHotKeyEvent(const HotKeyEvent& event) {
    if (event.signature != hotKeySignature) return eventNotHandledErr;
    const auto it = state().hotKeys.find(qint64(event.id));
    if (it == state().hotKeys.end()) return eventNotHandledErr;
    // Copied: a callback may unregister its own entry.
    const HotKey hotKey = it->second;
    if (event.kind == HotKeyEvent::hotKeyPressed)
        run(hotKey.onKeyDown, hotKey.shortcut);
    else
        run(hotKey.onKeyUp, hotKey.shortcut);
    return noErr;
}

int handleRefusal(const HotKeyEvent& event) {
    if (event.signature != hotKeySignature) return eventNotHandledErr;
    const auto it = state().hotKeys.find(qint64(event.id));
    if (it == state().hotKeys.end()) return eventNotHandledErr;
    // As a refusal at registration: the line, and no entry.
    printRefusal(it->second.shortcut, event.status);
    state().hotKeys.erase(it);
    return noErr;
}

int handleRawKeyEvent(const HotKeyEvent& event) {
    const Shortcut pressed(qint64(event.keyCode), qint64(event.modifiers));
    for (const auto& [id, entry] : state().hotKeys) {
        if (!(entry.shortcut == pressed)) continue;
        const HotKey hotKey = entry;
        if (event.kind == HotKeyEvent::rawKeyDown) {
            run(hotKey.onKeyDown, hotKey.shortcut);
            return noErr;
        }
        if (event.kind == HotKeyEvent::rawKeyUp) {
            run(hotKey.onKeyUp, hotKey.shortcut);
            return noErr;
        }
        return eventNotHandledErr;
    }
    return eventNotHandledErr;
}

void setBackend(std::unique_ptr<HotKeyBackend> backend) {
    state().backend = std::move(backend);
}
HotKeyBackend* backend() {
    return state().backend.get();
}

qint64 hotKeyId() {
    return state().hotKeyId;
}

QList<HotKey> hotKeys() {
    QList<HotKey> all;
    for (const auto& [id, hotKey] : state().hotKeys) all.append(hotKey);
    return all;
}

bool isEventHandlerInstalled() {
    return state().eventHandlerInstalled;
}

void resetForTesting() {
    State& s = state();
    s.hotKeyId = 0;
    s.hotKeys.clear();
    s.eventHandlerInstalled = false;
}

}  // namespace GlobalShortcuts::HotKeyRegistry
