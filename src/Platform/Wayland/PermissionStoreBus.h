#pragma once

#include <optional>

#include <QDBusConnection>
#include <QString>

#include "Platform/Wayland/ScreenshotPermission.h"

// The permission store and the portal backends as the screenshot permission reads them, over
// the session bus. Each call waits for its answer, at most `timeoutMs`: the store answers in
// about a millisecond, and the onboarding asks once a second.
namespace PermissionStoreBus {

// The screenshot table's answers; empty when the store has no entry; none when it cannot be
// read at all.
std::optional<ScreenshotPermission::Table> lookUpScreenshots(QDBusConnection bus, int timeoutMs);

// The version of the Screenshot implementation a backend offers; none when it cannot be read.
std::optional<uint> screenshotVersion(QDBusConnection bus, const QString& backend, int timeoutMs);

}  // namespace PermissionStoreBus
