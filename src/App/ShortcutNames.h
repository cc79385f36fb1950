#pragma once

#include <optional>

#include "GlobalShortcuts/Name.h"
#include "GlobalShortcuts/Shortcut.h"

namespace ShortcutNames {
// The area capture's global shortcut, default Command+Shift+2 (Ctrl+Shift+2). Made on first use:
// that stores the default when nothing is stored yet and registers the hot key, so the hot-key
// backend must be installed before.
const GlobalShortcuts::Name& captureArea();
// The area capture's stored shortcut, read without making the name (so without registering
// it): for a second start, while the running instance holds the key.
std::optional<GlobalShortcuts::Shortcut> storedCaptureArea();
}  // namespace ShortcutNames
