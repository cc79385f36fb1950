#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QList>
#include <QSet>

#include "GlobalShortcuts/Name.h"
#include "GlobalShortcuts/Notifications.h"
#include "GlobalShortcuts/Shortcut.h"

class QAction;

// Named global keyboard shortcuts: storage in the user defaults, the actions attached to each
// name, and which shortcuts are registered as system-wide hot keys. Main thread only.
namespace GlobalShortcuts {

using Action = std::function<void()>;
enum class EventType { keyDown, keyUp };

std::optional<Shortcut> getShortcut(const Name& name);
// A shortcut stores and registers it; none clears the name.
void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name);
void reset(const QList<Name>& names);
template <class... Names>
void reset(const Name& first, const Names&... rest) {
    reset(QList<Name>{first, rest...});
}

void onKeyDown(const Name& name, Action action);
void onKeyUp(const Name& name, Action action);

void disable(const QList<Name>& names);
template <class... Names>
void disable(const Name& first, const Names&... rest) {
    disable(QList<Name>{first, rest...});
}
void enable(const QList<Name>& names);
template <class... Names>
void enable(const Name& first, const Names&... rest) {
    enable(QList<Name>{first, rest...});
}

// The master switch; a change re-evaluates the hot-key registry.
bool isEnabled();
void setEnabled(bool enabled);
// The switch is on, the name has a shortcut and that shortcut is registered.
bool isEnabled(const Name& name);
// Set while a recorder is recording: no action runs.
bool isPaused();
void setPaused(bool paused);
// True while any menu of the application is shown.
bool isMenuOpen();

void removeHandler(const Name& name);
void removeAllHandlers();
void resetAll();

// A live subscription to a name's presses and releases; it ends when destroyed.
class EventStream {
public:
    EventStream(EventStream&& other) noexcept;
    EventStream& operator=(EventStream&& other) noexcept;
    ~EventStream();

private:
    friend EventStream events(const Name&, std::function<void(EventType)>);
    EventStream(Name name, quint64 id) : m_name(std::move(name)), m_id(id) {}
    void end();
    Name m_name;
    quint64 m_id = 0;
};
EventStream events(const Name& name, std::function<void(EventType)> onEvent);
EventStream events(EventType type, const Name& name, std::function<void()> onEvent);

// Internal operations, public for the recorder and tests.
void userDefaultsSet(const Name& name, const Shortcut& shortcut);
void userDefaultsDidChange(const Name& name);
bool userDefaultsContains(const Name& name);
void handleOnKeyDown(const Shortcut& shortcut);
void handleOnKeyUp(const Shortcut& shortcut);
void initialize();
QList<Name> allNames();
QSet<Shortcut> registeredShortcuts();
QString userDefaultsKey(const Name& name);

// Binds a menu item to a shortcut: key equivalent and modifiers (empty for none).
void setShortcut(QAction* item, const std::optional<Shortcut>& shortcut);
// Keeps the item in step with the name's stored shortcut through the change notification;
// none ends the binding.
void setShortcutFor(QAction* item, const std::optional<Name>& name);

// Drops every handler, registration and switch state (tests only).
void resetModuleStateForTesting();

}  // namespace GlobalShortcuts
