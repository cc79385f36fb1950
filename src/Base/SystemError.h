#pragma once

#include <QString>

// A short French reason for a failed system call (errno), for the payload of an error message.
// Uncommon errors fall back to the system's own text.
QString describeSystemError(int errnum);
