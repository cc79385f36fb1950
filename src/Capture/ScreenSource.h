#pragma once

#include <optional>

#include <QList>

#include "Capture/ScreenDescriptor.h"

// The platform's display list and pointer, as descriptors. Main thread only.
class ScreenSource {
public:
    virtual ~ScreenSource() = default;
    // Every display that has a descriptor, primary first.
    virtual QList<ScreenDescriptor> all() const = 0;
    // The display under the pointer (the main display when the pointer is on none), or nothing.
    virtual std::optional<ScreenDescriptor> underMouse() const = 0;
};
