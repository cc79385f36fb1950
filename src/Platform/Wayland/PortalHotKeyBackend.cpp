#include "Platform/Wayland/PortalHotKeyBackend.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/Key.h"
#include "GlobalShortcuts/Modifiers.h"

using namespace GlobalShortcuts;

namespace {
// The portal's "ended in some other way": what a refusal without its own code reports.
constexpr int kPortalOther = 2;
}  // namespace

PortalHotKeyBackend::PortalHotKeyBackend(std::unique_ptr<ShortcutsPortal> portal,
                                         XdgShortcutTrigger::LayoutText layoutText)
    : m_portal(std::move(portal)), m_layoutText(std::move(layoutText)) {
    QPointer<PortalHotKeyBackend> self(this);
    m_portal->setEvents({
        [self](const QString& session, const QString& id, bool pressed) {
            if (self) self->activation(session, id, pressed);
        },
        [self](const QString& session, const QList<PortalShortcut>& shortcuts) {
            if (self) self->shortcutsChanged(session, shortcuts);
        },
        [self](const QString& session) {
            if (self) self->sessionClosed(session);
        },
    });
    scheduleSync();
}

PortalHotKeyBackend::~PortalHotKeyBackend() {
    if (m_rawKeyEvents && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

std::expected<HotKeyBackend::Reference, int> PortalHotKeyBackend::registerHotKey(quint32 keyCode,
                                                                                 quint32 modifiers,
                                                                                 quint32 signature,
                                                                                 quint32 id) {
    const Reference reference = m_nextReference++;
    m_registrations[reference] = {Shortcut(qint64(keyCode), qint64(modifiers)), signature, id};
    // Later: the name's new shortcut is stored only after its registration.
    m_drops = 0;
    scheduleSync();
    return reference;
}

void PortalHotKeyBackend::unregisterHotKey(Reference reference) {
    // The desktop keeps the binding: withdrawals (a menu open) come back soon, and a session
    // binds only once. Presses of it are simply not delivered meanwhile.
    m_registrations.erase(reference);
}

bool PortalHotKeyBackend::installEventHandler(EventHandler handler) {
    m_handler = std::move(handler);
    return true;
}

void PortalHotKeyBackend::setRawKeyEventsEnabled(bool enabled) {
    if (enabled == m_rawKeyEvents || !QCoreApplication::instance()) return;
    m_rawKeyEvents = enabled;
    if (enabled)
        QCoreApplication::instance()->installEventFilter(this);
    else
        QCoreApplication::instance()->removeEventFilter(this);
}

DesktopShortcuts::Binding PortalHotKeyBackend::binding() const {
    return m_availability == Availability::missing ? Binding::desktopSettings : Binding::portal;
}

std::optional<QString> PortalHotKeyBackend::triggerDescription(const QString& name) const {
    const auto it = m_triggers.find(name);
    if (it == m_triggers.end()) return std::nullopt;
    return *it;
}

bool PortalHotKeyBackend::eventFilter(QObject* watched, QEvent* event) {
    // While a menu holds the keyboard, its key presses are matched against the registry.
    if (!m_handler || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
        return QObject::eventFilter(watched, event);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    const auto pressed = Shortcut::fromEvent(key);
    if (!pressed || key.isAutoRepeat()) return false;
    HotKeyEvent e;
    e.kind = event->type() == QEvent::KeyPress ? HotKeyEvent::rawKeyDown : HotKeyEvent::rawKeyUp;
    e.keyCode = quint32(pressed->carbonKeyCode);
    e.modifiers = quint32(pressed->carbonModifiers);
    return m_handler(e) == noErr;
}

// Binding -------------------------------------------------------------------------------------

void PortalHotKeyBackend::scheduleSync(int delayMs) {
    if (m_syncQueued) return;
    m_syncQueued = true;
    QTimer::singleShot(delayMs, this, [this] {
        m_syncQueued = false;
        sync();
    });
}

void PortalHotKeyBackend::describe(const QString& name, const QString& description) {
    m_names.removeIf([&](const auto& entry) { return entry.first == name; });
    m_names.append({name, description});
    scheduleSync();
}

std::optional<PortalHotKeyBackend::Naming> PortalHotKeyBackend::naming(
    const Shortcut& shortcut) const {
    // Read when binding, not when registering: a name's new shortcut is registered before it
    // is stored.
    for (const auto& [name, description] : m_names) {
        const auto stored = getShortcut(Name::fromRawValue(name));
        if (stored && Shortcut(stored->carbonKeyCode, stored->carbonModifiers) == shortcut)
            return Naming{name, description};
    }
    return std::nullopt;
}

std::optional<QString> PortalHotKeyBackend::idOf(const Shortcut& shortcut) const {
    const auto found = naming(shortcut);
    if (!found) return std::nullopt;
    return found->id;
}

QList<PortalShortcut> PortalHotKeyBackend::wanted() const {
    QList<PortalShortcut> shortcuts;
    for (const auto& [reference, registration] : m_registrations) {
        // A shortcut no name has cannot be given an id the desktop could remember.
        const auto named = naming(registration.shortcut);
        if (!named) continue;
        const bool listed = std::any_of(shortcuts.begin(), shortcuts.end(),
                                        [&](const PortalShortcut& s) { return s.id == named->id; });
        if (listed) continue;
        const auto trigger =
            XdgShortcutTrigger::preferredTrigger(registration.shortcut, m_layoutText);
        shortcuts.append({named->id, named->description, trigger.value_or(QString())});
    }
    return shortcuts;
}

bool PortalHotKeyBackend::isBound(const QList<PortalShortcut>& shortcuts) const {
    if (m_session.isEmpty()) return false;
    for (const PortalShortcut& s : shortcuts)
        if (!m_bound.contains(s)) return false;
    return true;
}

void PortalHotKeyBackend::sync() {
    if (m_busy) {
        m_syncAgain = true;
        return;
    }
    if (m_availability == Availability::unknown) {
        m_busy = true;
        const quint64 generation = m_generation;
        m_portal->checkAvailable([this, generation](bool available) {
            if (generation != m_generation) return;
            m_availability = available ? Availability::available : Availability::missing;
            emit changed();
            finishRequest();
            scheduleSync();
        });
        return;
    }
    if (m_availability == Availability::missing || m_drops >= maximumDrops) return;
    const QList<PortalShortcut> shortcuts = wanted();
    if (shortcuts.isEmpty() || isBound(shortcuts)) return;
    bind(shortcuts);
}

void PortalHotKeyBackend::bind(const QList<PortalShortcut>& shortcuts) {
    // A session binds its shortcuts once: another set needs a new session.
    if (!m_session.isEmpty()) m_portal->closeSession(m_session);
    m_session.clear();
    m_bound.clear();
    // Until the desktop answers, what it said of the earlier keys no longer holds.
    for (const PortalShortcut& s : shortcuts) m_triggers.remove(s.id);
    emit changed();
    m_busy = true;
    const quint64 generation = ++m_generation;
    m_portal->createSession([this, shortcuts, generation](std::expected<QString, int> session) {
        if (generation != m_generation) return;
        if (!session || session->isEmpty()) {
            refuse(shortcuts, session ? kPortalOther : session.error());
            finishRequest();
            return;
        }
        m_session = *session;
        m_portal->bindShortcuts(m_session, shortcuts, [this, shortcuts, generation](auto answer) {
            if (generation != m_generation) return;
            bound(shortcuts, answer);
            finishRequest();
        });
    });
}

void PortalHotKeyBackend::finishRequest() {
    m_busy = false;
    if (std::exchange(m_syncAgain, false)) scheduleSync();
}

void PortalHotKeyBackend::bound(const QList<PortalShortcut>& asked,
                                const std::expected<QList<PortalShortcut>, int>& answer) {
    if (!answer) {
        m_portal->closeSession(m_session);
        m_session.clear();
        refuse(asked, answer.error());
        return;
    }
    m_bound = asked;
    for (const PortalShortcut& s : *answer) {
        const bool ours = std::any_of(asked.begin(), asked.end(),
                                      [&](const PortalShortcut& a) { return a.id == s.id; });
        if (ours && !s.trigger.isEmpty()) m_triggers.insert(s.id, s.trigger);
    }
    emit changed();
}

void PortalHotKeyBackend::refuse(const QList<PortalShortcut>& asked, int status) {
    QList<Registration> refused;
    for (auto it = m_registrations.begin(); it != m_registrations.end();) {
        const auto id = idOf(it->second.shortcut);
        const bool wasAsked =
            id && std::any_of(asked.begin(), asked.end(),
                              [&](const PortalShortcut& a) { return a.id == *id; });
        if (!wasAsked) {
            ++it;
            continue;
        }
        refused << it->second;
        it = m_registrations.erase(it);
    }
    for (const PortalShortcut& s : asked) m_triggers.remove(s.id);
    for (const Registration& registration : refused)
        deliver(HotKeyEvent::registrationRefused, registration, status);
    emit changed();
}

// What the desktop tells ----------------------------------------------------------------------

void PortalHotKeyBackend::activation(const QString& session, const QString& id, bool pressed) {
    // Someone else's session, an id never asked for, or presses while withdrawn run nothing.
    if (session.isEmpty() || session != m_session || !m_hotKeyEvents || !m_handler) return;
    const bool asked = std::any_of(m_bound.begin(), m_bound.end(),
                                   [&](const PortalShortcut& s) { return s.id == id; });
    if (!asked) return;
    QList<Registration> targets;
    for (const auto& [reference, registration] : m_registrations)
        if (idOf(registration.shortcut) == id) targets << registration;
    for (const Registration& registration : targets)
        deliver(pressed ? HotKeyEvent::hotKeyPressed : HotKeyEvent::hotKeyReleased, registration);
}

void PortalHotKeyBackend::shortcutsChanged(const QString& session,
                                           const QList<PortalShortcut>& shortcuts) {
    if (session.isEmpty() || session != m_session) return;
    bool any = false;
    for (const PortalShortcut& s : shortcuts) {
        const bool asked = std::any_of(m_bound.begin(), m_bound.end(),
                                       [&](const PortalShortcut& b) { return b.id == s.id; });
        if (!asked) continue;
        if (s.trigger.isEmpty())
            m_triggers.remove(s.id);
        else
            m_triggers.insert(s.id, s.trigger);
        any = true;
    }
    if (any) emit changed();
}

void PortalHotKeyBackend::sessionClosed(const QString& session) {
    if (session.isEmpty() || session != m_session) return;
    // The desktop dropped it: bind again in a new one, a few times, more slowly each time.
    m_session.clear();
    m_bound.clear();
    m_triggers.clear();
    if (m_busy) {
        // Its bind is still under way: its answer no longer counts.
        ++m_generation;
        finishRequest();
    }
    emit changed();
    if (++m_drops < maximumDrops) scheduleSync(m_retryDelayMs * m_drops);
}

void PortalHotKeyBackend::deliver(int kind, const Registration& registration, int status) {
    if (!m_handler) return;
    HotKeyEvent e;
    e.kind = kind;
    e.signature = registration.signature;
    e.id = registration.id;
    e.status = status;
    m_handler(e);
}
