#include "GlobalShortcuts/Modifiers.h"

#include <utility>

namespace GlobalShortcuts {

namespace {
constexpr std::pair<qint64, EventModifierFlags> kPairs[] = {
    {CarbonModifier::command, EventModifier::command},
    {CarbonModifier::shift, EventModifier::shift},
    {CarbonModifier::option, EventModifier::option},
    {CarbonModifier::control, EventModifier::control},
    {CarbonModifier::function, EventModifier::function},
};
}  // namespace

EventModifierFlags eventFlags(qint64 carbon) {
    EventModifierFlags flags = 0;
    for (const auto& [c, e] : kPairs)
        if (carbon & c) flags |= e;
    return flags;
}

qint64 carbonModifiers(EventModifierFlags flags) {
    qint64 carbon = 0;
    for (const auto& [c, e] : kPairs)
        if (flags & e) carbon |= c;
    return carbon;
}

QString symbolicRepresentation(EventModifierFlags flags) {
    QString text;
    if (flags & EventModifier::control) text += QChar(0x2303);
    if (flags & EventModifier::option) text += QChar(0x2325);
    if (flags & EventModifier::shift) text += QChar(0x21E7);
    if (flags & EventModifier::command) text += QChar(0x2318);
    if (flags & EventModifier::function) text += QString::fromUtf8("\U0001F310\uFE0E");
    return text;
}

EventModifierFlags eventFlags(Qt::KeyboardModifiers m) {
    EventModifierFlags flags = 0;
    if (m & Qt::ControlModifier) flags |= EventModifier::command;
    if (m & Qt::ShiftModifier) flags |= EventModifier::shift;
    if (m & Qt::AltModifier) flags |= EventModifier::option;
    if (m & Qt::MetaModifier) flags |= EventModifier::control;
    return flags;
}

}  // namespace GlobalShortcuts
