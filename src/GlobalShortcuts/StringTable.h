#pragma once

#include <QHash>
#include <QString>

namespace GlobalShortcuts {

// The module's own texts, looked up by key in the string table "GlobalShortcuts.bundle"
// (Localizable.json inside it). Searched in the application's data directories, then the
// installed share directory beside the executable, then the executable's directory; the first
// that opens is used. A key without text shows the key itself.
QString localizedString(const QString& key);

// Replaces the table (tests); an empty table goes back to searching on the next lookup.
void setStringTable(QHash<QString, QString> table);

}  // namespace GlobalShortcuts
