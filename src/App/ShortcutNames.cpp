#include "App/ShortcutNames.h"

#include "GlobalShortcuts/GlobalShortcuts.h"

namespace ShortcutNames {

namespace {
constexpr const char* rawName = "captureArea";
}  // namespace

const GlobalShortcuts::Name& captureArea() {
    using namespace GlobalShortcuts;
    static const Name name(QString::fromLatin1(rawName),
                           Shortcut(Key::two, EventModifier::command | EventModifier::shift));
    return name;
}

std::optional<GlobalShortcuts::Shortcut> storedCaptureArea() {
    return GlobalShortcuts::getShortcut(
        GlobalShortcuts::Name::fromRawValue(QString::fromLatin1(rawName)));
}

}  // namespace ShortcutNames
