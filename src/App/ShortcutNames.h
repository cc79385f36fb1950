#pragma once

#include "GlobalShortcuts/Name.h"

namespace ShortcutNames {
// The area capture's global shortcut, default Command+Shift+2 (Ctrl+Shift+2). Made on first use:
// that stores the default when nothing is stored yet and registers the hot key, so the hot-key
// backend must be installed before.
const GlobalShortcuts::Name& captureArea();
}  // namespace ShortcutNames
