#pragma once

#include <QCoreApplication>
#include <QString>

// Every user-visible text goes through here: the French text is both the key and the fallback.
inline QString localized(const char* french) {
    return QCoreApplication::translate("Tessik", french);
}
