#include "Export/AtomicFileWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace AtomicFileWriter {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now, reporting the errno a deferred write error shows up as (0 if none).
    int close() {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// The temporary file, removed when it goes out of scope unless it was moved into place.
class TemporaryName {
public:
    TemporaryName(int dirfd, QByteArray name) : m_dirfd(dirfd), m_name(std::move(name)) {}
    ~TemporaryName() {
        if (!m_placed) ::unlinkat(m_dirfd, m_name.constData(), 0);
    }
    const char* get() const { return m_name.constData(); }
    void placed() { m_placed = true; }

private:
    int m_dirfd;
    QByteArray m_name;
    bool m_placed = false;
};

using Outcome = std::expected<QString, Error>;
using NameSource = std::function<QString(int)>;

// The process id in the name tells a later start whether the writer is gone.
QByteArray temporaryName() {
    const quint64 r = QRandomGenerator::system()->generate64();
    return ".tessik-" + QByteArray::number(::getpid()) + "-" + QByteArray::number(r, 16) + ".tmp";
}

int writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        left -= n;
    }
    return 0;
}

// Moves `from` to `to` in the folder unless `to` exists; 0 or the errno (EEXIST when taken).
int moveWithoutReplacing(int dirfd, const char* from, const char* to) {
    if (::renameat2(dirfd, from, dirfd, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    // A file system without the no-replace flag: a hard link never replaces either.
    if (::linkat(dirfd, from, dirfd, to, 0) != 0) return errno;
    ::unlinkat(dirfd, from, 0);
    return 0;
}

// Writes and flushes everything; 0 or the errno.
int writeDurably(int fd, const QByteArray& bytes) {
    if (int err = writeAll(fd, bytes)) return err;
    return ::fsync(fd) == 0 ? 0 : errno;
}

// Gives the file a name by linking it from its /proc entry: a link never replaces a file.
Outcome linkUnnamed(int dirfd, FileDescriptor& file, const NameSource& name) {
    const QByteArray source = "/proc/self/fd/" + QByteArray::number(file.get());
    for (int i = 0;; ++i) {
        const QString candidate = name(i);
        if (candidate.isEmpty()) return std::unexpected(Error{Problem::noFreeName, 0});
        if (::linkat(AT_FDCWD, source.constData(), dirfd, QFile::encodeName(candidate).constData(),
                     AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST) continue;
            return std::unexpected(Error{Problem::cannotWrite, errno});
        }
        if (int err = file.close()) return std::unexpected(Error{Problem::cannotWrite, err});
        // Make the new name itself durable; a failure here loses nothing already written.
        ::fsync(dirfd);
        return candidate;
    }
}

// Through an unnamed file: the file system drops it with the last descriptor if the process dies
// before it is linked. Nothing when this file system (or a missing /proc) cannot do that.
std::optional<Outcome> writeUnnamed(int dirfd, const QByteArray& bytes, const NameSource& name) {
    if (::access("/proc/self/fd", X_OK) != 0) return std::nullopt;
    // 0666 under the user's umask: the saved file is as readable as any file they make.
    const int fd = ::openat(dirfd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return std::nullopt;
        return std::unexpected(Error{Problem::cannotCreate, errno});
    }
    FileDescriptor file(fd);
    if (int err = writeDurably(file.get(), bytes))
        return std::unexpected(Error{Problem::cannotWrite, err});
    return linkUnnamed(dirfd, file, name);
}

Outcome writeNamed(int dirfd, const QByteArray& bytes, const NameSource& name) {
    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tempName = temporaryName();
        fd = ::openat(dirfd, tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return std::unexpected(Error{Problem::cannotCreate, errno});
    }
    if (fd < 0) return std::unexpected(Error{Problem::cannotCreate, EEXIST});
    FileDescriptor file(fd);
    TemporaryName temporary(dirfd, tempName);

    if (int err = writeDurably(file.get(), bytes))
        return std::unexpected(Error{Problem::cannotWrite, err});
    if (int err = file.close()) return std::unexpected(Error{Problem::cannotWrite, err});

    for (int i = 0;; ++i) {
        const QString candidate = name(i);
        if (candidate.isEmpty()) return std::unexpected(Error{Problem::noFreeName, 0});
        const int err = moveWithoutReplacing(dirfd, temporary.get(), QFile::encodeName(candidate));
        if (err == EEXIST) continue;
        if (err != 0) return std::unexpected(Error{Problem::cannotWrite, err});
        temporary.placed();
        ::fsync(dirfd);
        return candidate;
    }
}

// Whether the process that wrote a temporary file may still be writing it.
bool writerMayBeAlive(const QString& pid) {
    if (pid.isEmpty()) return false;  // an earlier version's name: that process has ended
    bool ok = false;
    const qint64 id = pid.toLongLong(&ok);
    if (!ok || id <= 0 || id > INT_MAX) return false;
    if (id == ::getpid()) return true;
    return ::kill(pid_t(id), 0) == 0 || errno == EPERM;
}

}  // namespace

Outcome writeNew(const QString& directory, const QByteArray& bytes, const NameSource& name,
                 Method method) {
    FileDescriptor dir(
        ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) return std::unexpected(Error{Problem::cannotCreate, errno});
    if (method == Method::unnamedWhereSupported)
        if (auto written = writeUnnamed(dir.get(), bytes, name)) return *written;
    return writeNamed(dir.get(), bytes, name);
}

int removeStaleTemporaries(const QString& directory) {
    static const QRegularExpression temporary(
        QStringLiteral(R"(^\.tessik-(?:(\d+)-)?[0-9a-f]+\.tmp$)"));
    FileDescriptor dirfd(
        ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirfd.get() < 0) return 0;
    DIR* listing = ::fdopendir(::dup(dirfd.get()));
    if (!listing) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const auto match = temporary.match(QFile::decodeName(entry->d_name));
        if (!match.hasMatch() || writerMayBeAlive(match.captured(1))) continue;
        struct stat st {};
        // Only plain files of the user's own: never follow a link, never touch a folder.
        if (::fstatat(dirfd.get(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::getuid())
            continue;
        if (::unlinkat(dirfd.get(), entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(listing);
    return removed;
}

}  // namespace AtomicFileWriter
