#pragma once

#include <QString>

namespace GlobalShortcuts {

// First letter of each word upper case, the rest lower case ("a" -> "A", "2" stays).
QString capitalized(const QString& text);

}  // namespace GlobalShortcuts
