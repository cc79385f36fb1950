#pragma once

#include <QString>
#include <QtGlobal>
#include <QtCore/qnamespace.h>

namespace GlobalShortcuts {

// The two numberings of the five modifiers. Classic bits are what a stored shortcut keeps in
// `carbonModifiers`; event flags are what key events and menu items use. The classic function
// bit equals the event shift flag, so never pass a value across without converting it.
namespace CarbonModifier {
inline constexpr qint64 command = 0x100;
inline constexpr qint64 shift = 0x200;
inline constexpr qint64 option = 0x800;
inline constexpr qint64 control = 0x1000;
inline constexpr qint64 function = 0x20000;
}  // namespace CarbonModifier

using EventModifierFlags = quint64;
namespace EventModifier {
inline constexpr EventModifierFlags shift = 1ull << 17;
inline constexpr EventModifierFlags control = 1ull << 18;
inline constexpr EventModifierFlags option = 1ull << 19;
inline constexpr EventModifierFlags command = 1ull << 20;
inline constexpr EventModifierFlags function = 1ull << 23;
}  // namespace EventModifier

// Each maps exactly the five modifiers and drops every other bit.
EventModifierFlags eventFlags(qint64 carbonModifiers);
qint64 carbonModifiers(EventModifierFlags flags);
// The modifiers of a Qt key event, by Qt's desktop convention: Ctrl is command, Meta (Super) is
// control, Alt is option. Keypad and group switch are not modifiers here.
EventModifierFlags eventFlags(Qt::KeyboardModifiers modifiers);
inline qint64 normalizedCarbonModifiers(qint64 carbon) {
    return carbonModifiers(eventFlags(carbon));
}

// The glyphs of a modifier set, in the order control, option, shift, command, function.
QString symbolicRepresentation(EventModifierFlags flags);

}  // namespace GlobalShortcuts
