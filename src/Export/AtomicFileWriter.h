#pragma once

#include <expected>
#include <functional>

#include <QByteArray>
#include <QString>

// Puts bytes into a new file of a folder without ever replacing anything: the bytes go to a
// hidden temporary file of that folder, reach the disk, and the file is then moved to the first
// free name with a no-replace move, so a name taken meanwhile (even by a concurrent writer) is
// skipped, never overwritten. The temporary file is removed on every failure.
namespace AtomicFileWriter {

enum class Problem { cannotCreate, cannotWrite, noFreeName };

struct Error {
    Problem problem;
    int errnum = 0;  // errno of the failing call (not for noFreeName)
};

// `name(i)` gives the i-th candidate file name (i from 0), or an empty string when there are no
// more. Returns the name used.
std::expected<QString, Error> writeNew(const QString& directory, const QByteArray& bytes,
                                       const std::function<QString(int)>& name);

}  // namespace AtomicFileWriter
