#include "GlobalShortcuts/GlobalShortcuts.h"

#include <map>

#include <QHash>
#include <QObject>
#include <QVariant>

#include "GlobalShortcuts/HotKeyRegistry.h"
#include "GlobalShortcuts/MenuTracking.h"
#include "GlobalShortcuts/ShortcutStore.h"

namespace GlobalShortcuts {

namespace {
const QString kKeyPrefix = QStringLiteral("GlobalShortcuts_");
// How the settings file keeps the Boolean false of a deliberately cleared shortcut.
const QString kCleared = QStringLiteral("false");

// What a name's entry holds. Damage (an unreadable value, a key that does not exist) is told
// apart from a deliberate clear, so that it never switches the hot key off for good.
struct StoredEntry {
    enum Kind { absent, cleared, shortcut, damaged } kind;
    std::optional<Shortcut> value;
};

StoredEntry readEntry(const Name& name) {
    const QString key = userDefaultsKey(name);
    if (!store().contains(key)) return {StoredEntry::absent, {}};
    const auto text = store().string(key);
    if (text == kCleared) return {StoredEntry::cleared, {}};
    if (text)
        if (const auto shortcut = Shortcut::decoded(text->toUtf8());
            shortcut && shortcut->isWellFormed())
            return {StoredEntry::shortcut, shortcut};
    return {StoredEntry::damaged, {}};
}

using StreamActions = std::map<quint64, Action>;

struct State {
    bool isEnabled = true;
    bool isPaused = false;
    bool isMenuOpen = false;
    bool isInitialized = false;
    QSet<Shortcut> registeredShortcuts;
    QHash<Name, QList<Action>> legacyKeyDownHandlers;
    QHash<Name, QList<Action>> legacyKeyUpHandlers;
    QHash<Name, StreamActions> streamKeyDownHandlers;
    QHash<Name, StreamActions> streamKeyUpHandlers;
    quint64 nextStreamId = 1;
    std::unique_ptr<QObject> menuTracker;
};
State& state() {
    static State s;
    return s;
}

void registerShortcut(const Shortcut& shortcut) {
    HotKeyRegistry::registerHotKey(shortcut, handleOnKeyDown, handleOnKeyUp);
    state().registeredShortcuts.insert(shortcut);
}

void unregisterShortcut(const Shortcut& shortcut) {
    HotKeyRegistry::unregister(shortcut);
    state().registeredShortcuts.remove(shortcut);
}

// Algorithms' `register(_:)`: a name's current shortcut, unless already registered.
void registerNameShortcut(const Name& name) {
    const auto shortcut = getShortcut(name);
    if (shortcut && !state().registeredShortcuts.contains(*shortcut)) registerShortcut(*shortcut);
}

bool usedByStream(const Shortcut& shortcut) {
    for (auto it = state().streamKeyDownHandlers.cbegin();
         it != state().streamKeyDownHandlers.cend(); ++it)
        if (!it->empty() && getShortcut(it.key()) == shortcut) return true;
    return false;
}

bool usedByLegacy(const Shortcut& shortcut) {
    const State& s = state();
    for (const auto* table : {&s.legacyKeyDownHandlers, &s.legacyKeyUpHandlers})
        for (auto it = table->cbegin(); it != table->cend(); ++it)
            if (getShortcut(it.key()) == shortcut) return true;
    return false;
}

void dispatch(const Shortcut& pressed, const QHash<Name, QList<Action>>& legacy,
              const QHash<Name, StreamActions>& streams) {
    if (state().isPaused) return;
    // Copies: an action may add or remove handlers.
    const auto legacyCopy = legacy;
    for (auto it = legacyCopy.cbegin(); it != legacyCopy.cend(); ++it)
        if (getShortcut(it.key()) == pressed)
            for (const Action& action : it.value()) action();
    const auto streamCopy = streams;
    for (auto it = streamCopy.cbegin(); it != streamCopy.cend(); ++it)
        if (getShortcut(it.key()) == pressed)
            for (const auto& [id, action] : it.value()) action();
}

void menuTrackingChanged(bool open) {
    const bool was = state().isMenuOpen;
    state().isMenuOpen = open;
    if (was != open) HotKeyRegistry::updateEventHandler();
}
}  // namespace

// -- names -------------------------------------------------------------------------------------

Name::Name(const QString& name, std::optional<Shortcut> defaultValue)
    : rawValue(name), defaultShortcut(defaultValue) {
    if (defaultShortcut) {
        const auto kind = readEntry(*this).kind;
        if (kind == StoredEntry::damaged)
            qWarning("Stored shortcut of %s unreadable: its default is stored again",
                     qPrintable(rawValue));
        if (kind == StoredEntry::absent || kind == StoredEntry::damaged)
            userDefaultsSet(*this, *defaultShortcut);
    }
    initialize();
}

Name Name::fromRawValue(const QString& raw) {
    return Name(raw);
}

std::optional<Shortcut> Name::shortcut() const {
    return getShortcut(*this);
}
void Name::setShortcut(const std::optional<Shortcut>& shortcut) const {
    GlobalShortcuts::setShortcut(shortcut, *this);
}

QString userDefaultsKey(const Name& name) {
    return kKeyPrefix + name.rawValue;
}

// -- storage -----------------------------------------------------------------------------------

std::optional<Shortcut> getShortcut(const Name& name) {
    StoredEntry entry = readEntry(name);
    switch (entry.kind) {
        case StoredEntry::shortcut:
            return entry.value;
        case StoredEntry::damaged:
            return name.defaultShortcut;
        case StoredEntry::absent:
        case StoredEntry::cleared:
            return std::nullopt;
    }
    return std::nullopt;
}

bool userDefaultsContains(const Name& name) {
    return store().contains(userDefaultsKey(name));
}

void userDefaultsDidChange(const Name& name) {
    Notifications::post(shortcutByNameDidChange,
                        {{QStringLiteral("name"), QVariant::fromValue(name)}});
}

void userDefaultsSet(const Name& name, const Shortcut& shortcut) {
    const QString coded = QString::fromUtf8(shortcut.encoded());
    if (const auto old = getShortcut(name)) unregisterShortcut(*old);
    if (!state().registeredShortcuts.contains(shortcut)) registerShortcut(shortcut);
    store().setString(userDefaultsKey(name), coded);
    userDefaultsDidChange(name);
}

void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name) {
    if (shortcut) return userDefaultsSet(name, *shortcut);
    const auto old = getShortcut(name);
    if (!old) return;
    if (name.defaultShortcut)
        store().setBoolean(userDefaultsKey(name), false);
    else
        store().remove(userDefaultsKey(name));
    unregisterShortcut(*old);
    userDefaultsDidChange(name);
}

void reset(const QList<Name>& names) {
    for (const Name& name : names) setShortcut(name.defaultShortcut, name);
}

QList<Name> allNames() {
    QList<Name> names;
    for (const QString& key : store().keys())
        if (key.startsWith(kKeyPrefix))
            names.append(Name::fromRawValue(key.mid(kKeyPrefix.size())));
    return names;
}

void resetAll() {
    reset(allNames());
}

// -- actions -----------------------------------------------------------------------------------

void onKeyDown(const Name& name, Action action) {
    state().legacyKeyDownHandlers[name].append(std::move(action));
    registerNameShortcut(name);
}

void onKeyUp(const Name& name, Action action) {
    state().legacyKeyUpHandlers[name].append(std::move(action));
    registerNameShortcut(name);
}

void handleOnKeyDown(const Shortcut& shortcut) {
    dispatch(shortcut, state().legacyKeyDownHandlers, state().streamKeyDownHandlers);
}

void handleOnKeyUp(const Shortcut& shortcut) {
    dispatch(shortcut, state().legacyKeyUpHandlers, state().streamKeyUpHandlers);
}

void removeHandler(const Name& name) {
    state().legacyKeyDownHandlers.remove(name);
    state().legacyKeyUpHandlers.remove(name);
    const auto shortcut = getShortcut(name);
    if (shortcut && !usedByStream(*shortcut)) unregisterShortcut(*shortcut);
}

void removeAllHandlers() {
    QSet<Shortcut> used;
    const State& s = state();
    for (const auto* table : {&s.legacyKeyDownHandlers, &s.legacyKeyUpHandlers})
        for (auto it = table->cbegin(); it != table->cend(); ++it)
            if (const auto shortcut = getShortcut(it.key())) used.insert(*shortcut);
    for (const Shortcut& shortcut : used)
        if (!usedByStream(shortcut)) unregisterShortcut(shortcut);
    state().legacyKeyDownHandlers.clear();
    state().legacyKeyUpHandlers.clear();
}

// -- switches ----------------------------------------------------------------------------------

void disable(const QList<Name>& names) {
    for (const Name& name : names)
        if (const auto shortcut = getShortcut(name)) unregisterShortcut(*shortcut);
}

void enable(const QList<Name>& names) {
    for (const Name& name : names) registerNameShortcut(name);
}

bool isEnabled() {
    return state().isEnabled;
}

void setEnabled(bool enabled) {
    if (state().isEnabled == enabled) return;
    state().isEnabled = enabled;
    HotKeyRegistry::updateEventHandler();
}

bool isEnabled(const Name& name) {
    const auto shortcut = getShortcut(name);
    return state().isEnabled && shortcut && state().registeredShortcuts.contains(*shortcut);
}

bool isPaused() {
    return state().isPaused;
}
void setPaused(bool paused) {
    state().isPaused = paused;
}
bool isMenuOpen() {
    return state().isMenuOpen;
}
QSet<Shortcut> registeredShortcuts() {
    return state().registeredShortcuts;
}

void initialize() {
    if (state().isInitialized) return;
    state().menuTracker = startMenuTracking(menuTrackingChanged);
    state().isInitialized = true;
}

// -- event streams -----------------------------------------------------------------------------

EventStream events(const Name& name, std::function<void(EventType)> onEvent) {
    const quint64 id = state().nextStreamId++;
    state().streamKeyDownHandlers[name][id] = [onEvent] { onEvent(EventType::keyDown); };
    state().streamKeyUpHandlers[name][id] = [onEvent] { onEvent(EventType::keyUp); };
    registerNameShortcut(name);
    return EventStream(name, id);
}

EventStream events(EventType type, const Name& name, std::function<void()> onEvent) {
    return events(name, [type, onEvent = std::move(onEvent)](EventType t) {
        if (t == type) onEvent();
    });
}

EventStream::EventStream(EventStream&& other) noexcept
    : m_name(std::move(other.m_name)), m_id(std::exchange(other.m_id, 0)) {
}

EventStream& EventStream::operator=(EventStream&& other) noexcept {
    if (this != &other) {
        end();
        m_name = std::move(other.m_name);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

EventStream::~EventStream() {
    end();
}

void EventStream::end() {
    if (m_id == 0) return;
    for (auto* table : {&state().streamKeyDownHandlers, &state().streamKeyUpHandlers}) {
        auto it = table->find(m_name);
        if (it == table->end()) continue;
        it->erase(m_id);
        if (it->empty()) table->erase(it);
    }
    m_id = 0;
    const auto shortcut = getShortcut(m_name);
    if (shortcut && !usedByStream(*shortcut) && !usedByLegacy(*shortcut))
        unregisterShortcut(*shortcut);
}

// -- tests -------------------------------------------------------------------------------------

void resetModuleStateForTesting() {
    State& s = state();
    s.isEnabled = true;
    s.isPaused = false;
    s.isMenuOpen = false;
    s.registeredShortcuts.clear();
    s.legacyKeyDownHandlers.clear();
    s.legacyKeyUpHandlers.clear();
    s.streamKeyDownHandlers.clear();
    s.streamKeyUpHandlers.clear();
    HotKeyRegistry::resetForTesting();
}

}  // namespace GlobalShortcuts
