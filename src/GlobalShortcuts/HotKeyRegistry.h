#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QList>

#include "GlobalShortcuts/HotKeyBackend.h"
#include "GlobalShortcuts/Shortcut.h"

namespace GlobalShortcuts {

// Turns shortcuts into system-wide hot keys through the installed backend, one entry per
// registration, and follows the module's switches (enabled, menu open). Main thread only.
namespace HotKeyRegistry {

using Callback = std::function<void(const Shortcut&)>;

struct HotKey {
    Shortcut shortcut;
    qint64 carbonHotKeyId = 0;
    // Present while registered with the platform; cleared while the registry is withdrawn.
    std::optional<HotKeyBackend::Reference> carbonHotKey;
    Callback onKeyDown;
    Callback onKeyUp;
};

// `register` is reserved in C++.
void registerHotKey(const Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp);
void unregister(const Shortcut& shortcut);
void updateEventHandler();
void softRegisterAll();
// The shortcuts the desktop reserves (enabled ones only), asked afresh at each call.
QList<Shortcut> system();

int hotKeyRegistryEventHandler(const HotKeyEvent* event);
int handleHotKeyEvent(const HotKeyEvent& event);
int handleRawKeyEvent(const HotKeyEvent& event);
// A refusal the backend learnt after accepting: the refusal line, and the entry goes.
int handleRefusal(const HotKeyEvent& event);

// Installed once at start-up, after the application object exists.
void setBackend(std::unique_ptr<HotKeyBackend> backend);
HotKeyBackend* backend();

// Inspection.
qint64 hotKeyId();
QList<HotKey> hotKeys();
bool isEventHandlerInstalled();

// Forgets every entry and the installed handler (tests only).
void resetForTesting();

}  // namespace HotKeyRegistry
}  // namespace GlobalShortcuts
