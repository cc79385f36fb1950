#include "Platform/GlobalShortcutsPlatform.h"

#include "GlobalShortcuts/HotKeyRegistry.h"
#include "GlobalShortcuts/KeyboardLayout.h"
#include "Platform/X11/X11HotKeyBackend.h"
#include "Platform/X11/XkbKeyboardLayout.h"

void installGlobalShortcutsPlatform() {
    GlobalShortcuts::HotKeyRegistry::setBackend(std::make_unique<X11HotKeyBackend>());
    GlobalShortcuts::setKeyboardLayout(std::make_unique<XkbKeyboardLayout>());
}
