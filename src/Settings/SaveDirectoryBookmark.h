#pragma once

#include <expected>
#include <optional>

#include <QByteArray>
#include <QString>

// Remembers the save folder across launches. There is no sandbox on Linux, so the bookmark is a
// small versioned record of the folder's absolute path and its identity (device and inode):
// resolving it gives the path back, flagged stale when another folder now stands at that path.
namespace SaveDirectoryBookmark {

struct Resolved {
    QString url;  // absolute path of the folder
    bool isStale = false;
    bool operator==(const Resolved&) const = default;
};

// Why no bookmark could be made (the folder cannot be examined).
struct Failure {
    QString reason;
    QString description() const;
};

// Why data gave no folder: it is no record of ours (damaged, or a path that cannot be a folder),
// or the record is sound and its folder is gone.
enum class Unresolved { damaged, folderMissing };

// Nothing when the data is not a bookmark or no folder stands at its path any more.
std::optional<Resolved> resolve(const QByteArray& data);
std::expected<Resolved, Unresolved> examine(const QByteArray& data);
// A path a folder can be remembered by: absolute (a relative one would follow whatever the
// working directory happens to be) and without a NUL, which the system would cut it at.
bool isUsablePath(const QString& path);
std::expected<QByteArray, Failure> create(const QString& url);

}  // namespace SaveDirectoryBookmark
