#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "Capture/DisplaySource.h"

// What the screenshot portal's answers and the bus's errors mean for a capture, as the
// failures the capture service turns into capture errors.
namespace PortalErrors {
using Failure = DisplaySource::Failure;

// A failure whose text is the French reason shown in the alert.
Failure failed(const QString& reason);
// The user dismissed the desktop's prompt: the capture ends without a word.
Failure cancelled();
// The user refused Tessik the screenshots (the permission store says "no").
Failure refused();

// The Response's code other than 0: 1 is a cancellation; 2 means refused or failed, told apart
// by the permission store's entry for the application (`entry`, absent when unset or unknown):
// only "no" is a refusal. Any other code is a failure.
Failure forResponse(uint code, const std::optional<QStringList>& entry);
// A D-Bus error of the Screenshot call, by its name.
Failure forBusError(const QString& name, const QString& message);
Failure timedOut(int seconds);
Failure noBus();
}  // namespace PortalErrors
