#pragma once

#include <functional>
#include <optional>

#include <QMap>
#include <QString>
#include <QStringList>

// What the desktop's permission store says about screenshots (table "screenshot", id
// "screenshot"), and what that means for a non-interactive screenshot request.
namespace ScreenshotPermission {

// Every application's answer: app id -> permissions.
using Table = QMap<QString, QStringList>;
enum class Entry { yes, no, unset };

// The entry of this application: its own id when the store has a readable answer for it, else
// that of "" (the id the portal gives applications outside a sandbox). An answer other than
// one "yes" or one "no" is damaged and reads as unset, as the portal itself reads it.
Entry entryFor(const Table& table, const QString& appId);

// "yes" is access and "no" none. Unset is access only where the portal's backend does not
// consult the store (it takes the screenshot without asking); where it does, the user has not
// been asked yet.
bool hasAccess(Entry entry, bool storeConsulted);

// The bus name of the portal backend that answers screenshots on this desktop, from its
// `.portal` file in `portalDirectory`: the one whose UseIn names one of `desktops` (as in
// XDG_CURRENT_DESKTOP, compared without case) and whose Interfaces list the Screenshot
// implementation. None when no file says so.
std::optional<QString> screenshotBackend(const QString& portalDirectory,
                                         const QStringList& desktops);

}  // namespace ScreenshotPermission
