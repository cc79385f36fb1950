#pragma once

#include <cstdint>
#include <iterator>

#include <xcb/xcb.h>
#include <QString>

#include "Capture/DisplaySource.h"

// X failures as display-source failures with a readable French description.
namespace XcbText {

inline DisplaySource::Failure failure(const QString& text, int code = 0) {
    return {QStringLiteral("X11"), code, text};
}

inline QString errorName(std::uint8_t code) {
    static const char* const names[] = {
        "",          "BadRequest", "BadValue",    "BadWindow",   "BadPixmap", "BadAtom",
        "BadCursor", "BadFont",    "BadMatch",    "BadDrawable", "BadAccess", "BadAlloc",
        "BadColor",  "BadGC",      "BadIDChoice", "BadName",     "BadLength", "BadImplementation"};
    if (code > 0 && code < std::size(names)) return QString::fromLatin1(names[code]);
    return QStringLiteral("erreur %1").arg(code);
}

inline DisplaySource::Failure refused(const char* request, const xcb_generic_error_t& e) {
    return failure(QStringLiteral("le serveur X a refusé la requête %1 (%2)")
                       .arg(QLatin1String(request), errorName(e.error_code)),
                   e.error_code);
}

inline DisplaySource::Failure lostConnection() {
    return failure(QStringLiteral("la connexion au serveur X a été interrompue"));
}

}  // namespace XcbText
