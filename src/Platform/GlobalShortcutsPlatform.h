#pragma once

// Installs the X11 hot-key backend and keyboard layout into the shortcut module. Call once,
// after the application object exists and before any shortcut name is used.
void installGlobalShortcutsPlatform();
