#pragma once

#include <map>
#include <memory>
#include <optional>

#include <QHash>
#include <QList>

#include "GlobalShortcuts/HotKeyBackend.h"
#include "GlobalShortcuts/Shortcut.h"
#include "Platform/Wayland/ShortcutsPortal.h"
#include "Platform/Wayland/XdgShortcutTrigger.h"
#include "Settings/DesktopShortcuts.h"

// Global hot keys on Wayland through the desktop's GlobalShortcuts portal. A registration is
// accepted at once; on the next turn of the event loop the registered shortcuts are bound in one
// session of this process, each under the id of its name, with its preferred trigger. A refusal
// reaches the registry as `registrationRefused` with the portal's response code. The desktop
// says which trigger it chose; Activated and Deactivated of this session are the presses and
// releases. Without the portal, registrations are kept and nothing is bound: the user binds a
// command in the desktop's settings. Main thread only.
class PortalHotKeyBackend final : public DesktopShortcuts, public GlobalShortcuts::HotKeyBackend {
    Q_OBJECT

public:
    explicit PortalHotKeyBackend(std::unique_ptr<ShortcutsPortal> portal,
                                 XdgShortcutTrigger::LayoutText layoutText = {});
    ~PortalHotKeyBackend() override;

    std::expected<Reference, int> registerHotKey(quint32 keyCode, quint32 modifiers,
                                                 quint32 signature, quint32 id) override;
    void unregisterHotKey(Reference reference) override;
    bool installEventHandler(EventHandler handler) override;
    void setHotKeyEventsEnabled(bool enabled) override { m_hotKeyEvents = enabled; }
    void setRawKeyEventsEnabled(bool enabled) override;
    // The desktop's own bindings are not readable from a Wayland client.
    std::optional<QList<GlobalShortcuts::SystemHotKey>> systemHotKeys() override { return {{}}; }

    void describe(const QString& name, const QString& description) override;
    Binding binding() const override;
    std::optional<QString> triggerDescription(const QString& name) const override;

    // The live session, empty when there is none.
    QString session() const { return m_session; }

    // Session losses in a row after which no new session is made until the shortcuts change.
    static constexpr int maximumDrops = 3;
    // The wait before the first new session after a loss; it grows with each loss in a row.
    void setRetryDelay(int milliseconds) { m_retryDelayMs = milliseconds; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Availability { unknown, available, missing };
    // A registered shortcut's portal id and description: those of the described name that has
    // it stored.
    struct Naming {
        QString id;
        QString description;
    };
    struct Registration {
        GlobalShortcuts::Shortcut shortcut;
        quint32 signature = 0;
        quint32 id = 0;
    };

    void scheduleSync(int delayMs = 0);
    void sync();
    QList<PortalShortcut> wanted() const;
    bool isBound(const QList<PortalShortcut>& shortcuts) const;
    void bind(const QList<PortalShortcut>& shortcuts);
    void bound(const QList<PortalShortcut>& asked,
               const std::expected<QList<PortalShortcut>, int>& answer);
    void refuse(const QList<PortalShortcut>& asked, int status);
    void activation(const QString& session, const QString& id, bool pressed);
    void shortcutsChanged(const QString& session, const QList<PortalShortcut>& shortcuts);
    void sessionClosed(const QString& session);
    void finishRequest();
    std::optional<Naming> naming(const GlobalShortcuts::Shortcut& shortcut) const;
    std::optional<QString> idOf(const GlobalShortcuts::Shortcut& shortcut) const;
    void deliver(int kind, const Registration& registration, int status = 0);

    std::unique_ptr<ShortcutsPortal> m_portal;
    // Name -> description, in the order described.
    QList<std::pair<QString, QString>> m_names;
    XdgShortcutTrigger::LayoutText m_layoutText;
    Availability m_availability = Availability::unknown;
    EventHandler m_handler;
    bool m_hotKeyEvents = false;
    bool m_rawKeyEvents = false;
    Reference m_nextReference = 1;
    std::map<Reference, Registration> m_registrations;
    QString m_session;
    // What the live session was asked to bind.
    QList<PortalShortcut> m_bound;
    // Portal id -> the trigger the desktop describes.
    QHash<QString, QString> m_triggers;
    // A check, a session or a bind is under way; a sync asked meanwhile runs after it.
    bool m_busy = false;
    bool m_syncAgain = false;
    bool m_syncQueued = false;
    int m_drops = 0;
    int m_retryDelayMs = 1000;
    // Bumped when the backend starts over, so answers of an earlier attempt are dropped.
    quint64 m_generation = 0;
};
