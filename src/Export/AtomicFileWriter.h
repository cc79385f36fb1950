#pragma once

#include <expected>
#include <functional>

#include <QByteArray>
#include <QString>

// Puts bytes into a new file of a folder without ever replacing anything: the bytes go to an
// unnamed file of that folder (O_TMPFILE), reach the disk, and the file is then linked under the
// first free name, so a name taken meanwhile (even by a concurrent writer) is skipped, never
// overwritten, and a process that dies before the end leaves nothing behind. Where the file system
// has no unnamed files, a hidden temporary file is moved into place instead; it is removed on
// every failure, and what a dying process left of it by `removeStaleTemporaries`.
namespace AtomicFileWriter {

enum class Problem { cannotCreate, cannotWrite, noFreeName };

struct Error {
    Problem problem;
    int errnum = 0;  // errno of the failing call (not for noFreeName)
};

enum class Method { unnamedWhereSupported, namedTemporary };

// `name(i)` gives the i-th candidate file name (i from 0), or an empty string when there are no
// more. Returns the name used.
std::expected<QString, Error> writeNew(const QString& directory, const QByteArray& bytes,
                                       const std::function<QString(int)>& name,
                                       Method method = Method::unnamedWhereSupported);

// Removes the hidden temporary files of saves whose process is gone (and those of earlier
// versions, which carry no process id); gives how many were removed.
int removeStaleTemporaries(const QString& directory);

}  // namespace AtomicFileWriter
