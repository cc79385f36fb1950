#include "App/ShortcutNames.h"

namespace ShortcutNames {

const GlobalShortcuts::Name& captureArea() {
    using namespace GlobalShortcuts;
    static const Name name(QStringLiteral("captureArea"),
                           Shortcut(Key::two, EventModifier::command | EventModifier::shift));
    return name;
}

}  // namespace ShortcutNames
