#include <utility>

#include <QKeySequence>
#include <QList>

#include "GlobalShortcuts/Shortcut.h"

namespace GlobalShortcuts {

namespace {

// Keys with a fixed name, by stored code; every other key is named by the layout's character.
// Help sits where PC keyboards have Insert, keypad Clear where they have Num Lock, and F13-F15
// are the PC's Print, Scroll Lock and Pause.
constexpr std::pair<qint64, int> kNamedKeys[] = {
    {36, Qt::Key_Return},   {51, Qt::Key_Backspace},   {117, Qt::Key_Delete},
    {119, Qt::Key_End},     {53, Qt::Key_Escape},      {114, Qt::Key_Insert},
    {115, Qt::Key_Home},    {49, Qt::Key_Space},       {48, Qt::Key_Tab},
    {116, Qt::Key_PageUp},  {121, Qt::Key_PageDown},   {126, Qt::Key_Up},
    {124, Qt::Key_Right},   {125, Qt::Key_Down},       {123, Qt::Key_Left},
    {122, Qt::Key_F1},      {120, Qt::Key_F2},         {99, Qt::Key_F3},
    {118, Qt::Key_F4},      {96, Qt::Key_F5},          {97, Qt::Key_F6},
    {98, Qt::Key_F7},       {100, Qt::Key_F8},         {101, Qt::Key_F9},
    {109, Qt::Key_F10},     {103, Qt::Key_F11},        {111, Qt::Key_F12},
    {105, Qt::Key_Print},   {107, Qt::Key_ScrollLock}, {113, Qt::Key_Pause},
    {106, Qt::Key_F16},     {64, Qt::Key_F17},         {79, Qt::Key_F18},
    {80, Qt::Key_F19},      {90, Qt::Key_F20},         {0x1015, Qt::Key_F21},
    {0x1016, Qt::Key_F22},  {0x1017, Qt::Key_F23},     {0x1018, Qt::Key_F24},
    {110, Qt::Key_Menu},    {71, Qt::Key_NumLock},     {57, Qt::Key_CapsLock},
    {56, Qt::Key_Shift},    {60, Qt::Key_Shift},       {55, Qt::Key_Control},
    {54, Qt::Key_Control},  {58, Qt::Key_Alt},         {61, Qt::Key_AltGr},
    {59, Qt::Key_Meta},     {62, Qt::Key_Meta},        {74, Qt::Key_VolumeMute},
    {72, Qt::Key_VolumeUp}, {73, Qt::Key_VolumeDown},
};

// The keypad, named by Qt as "Num+" and the key.
constexpr std::pair<qint64, int> kKeypadKeys[] = {
    {82, Qt::Key_0},     {83, Qt::Key_1},     {84, Qt::Key_2},      {85, Qt::Key_3},
    {86, Qt::Key_4},     {87, Qt::Key_5},     {88, Qt::Key_6},      {89, Qt::Key_7},
    {91, Qt::Key_8},     {92, Qt::Key_9},     {65, Qt::Key_Period}, {75, Qt::Key_Slash},
    {76, Qt::Key_Enter}, {81, Qt::Key_Equal}, {78, Qt::Key_Minus},  {67, Qt::Key_Asterisk},
    {69, Qt::Key_Plus},
};

// Qt's desktop convention, the reverse of eventFlags(Qt::KeyboardModifiers).
Qt::KeyboardModifiers qtModifiers(EventModifierFlags flags) {
    Qt::KeyboardModifiers modifiers;
    if (flags & EventModifier::command) modifiers |= Qt::ControlModifier;
    if (flags & EventModifier::shift) modifiers |= Qt::ShiftModifier;
    if (flags & EventModifier::option) modifiers |= Qt::AltModifier;
    if (flags & EventModifier::control) modifiers |= Qt::MetaModifier;
    return modifiers;
}

std::optional<std::pair<Qt::KeyboardModifiers, int>> fixedKey(qint64 code) {
    for (const auto& [c, qt] : kNamedKeys)
        if (c == code) return std::pair{Qt::KeyboardModifiers(), qt};
    for (const auto& [c, qt] : kKeypadKeys)
        if (c == code) return std::pair{Qt::KeyboardModifiers(Qt::KeypadModifier), qt};
    return std::nullopt;
}

// Qt names a character key by its upper-case code point.
int characterKey(const QString& character) {
    const QList<uint> points = character.toUcs4();
    return points.isEmpty() ? 0 : int(QChar::toUpper(points.first()));
}

}  // namespace

std::optional<QKeyCombination> Shortcut::keyCombination() const {
    const Qt::KeyboardModifiers modifiers = qtModifiers(this->modifiers());
    if (const auto fixed = fixedKey(carbonKeyCode))
        return QKeyCombination(modifiers | fixed->first, Qt::Key(fixed->second));
    const auto character = keyToCharacter();
    if (!character) return std::nullopt;
    return QKeyCombination(modifiers, Qt::Key(characterKey(*character)));
}

QString Shortcut::nativeText() const {
    const auto combination = keyCombination().value_or(
        QKeyCombination(qtModifiers(modifiers()), Qt::Key(QChar::ReplacementCharacter)));
    return QKeySequence(combination).toString(QKeySequence::NativeText);
}

}  // namespace GlobalShortcuts
