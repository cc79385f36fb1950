#pragma once

#include <QString>

// A short French reason for a failed system call (errno), for the payload of an error message.
// A number without its own text reads "erreur système n° N".
QString describeSystemError(int errnum);
