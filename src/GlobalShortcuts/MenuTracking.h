#pragma once

#include <functional>
#include <memory>

#include <QObject>

namespace GlobalShortcuts {

// Watches every QMenu of the application: told true when the first one is shown and false when
// the last one is hidden (menu tracking begins and ends).
std::unique_ptr<QObject> startMenuTracking(std::function<void(bool open)> onChange);

}  // namespace GlobalShortcuts
