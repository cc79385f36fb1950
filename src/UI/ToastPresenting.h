#pragma once

#include <QString>

#include "Capture/ScreenDescriptor.h"

// Shows a short confirmation near the bottom of one display.
class ToastPresenting {
public:
    virtual ~ToastPresenting() = default;
    virtual void show(const QString& message, const ScreenDescriptor& screen) = 0;
    // A longer message on the main display, kept on screen long enough to be read.
    virtual void showOnMainDisplay(const QString& message) = 0;
};
