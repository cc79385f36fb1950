#include "Export/AtomicFileWriter.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include <QFile>
#include <QRandomGenerator>

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

QByteArray temporaryName() {
    const quint64 r = QRandomGenerator::system()->generate64();
    return ".tessik-" + QByteArray::number(r, 16) + ".tmp";
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

}  // namespace

std::expected<QString, Error> writeNew(const QString& directory, const QByteArray& bytes,
                                       const std::function<QString(int)>& name) {
    FileDescriptor dir(
        ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) return std::unexpected(Error{Problem::cannotCreate, errno});

    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tempName = temporaryName();
        // 0666 under the user's umask: the saved file is as readable as any file they make.
        fd = ::openat(dir.get(), tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                      0666);
        if (fd < 0 && errno != EEXIST) return std::unexpected(Error{Problem::cannotCreate, errno});
    }
    if (fd < 0) return std::unexpected(Error{Problem::cannotCreate, EEXIST});
    FileDescriptor file(fd);
    TemporaryName temporary(dir.get(), tempName);

    if (int err = writeAll(file.get(), bytes))
        return std::unexpected(Error{Problem::cannotWrite, err});
    if (::fsync(file.get()) != 0) return std::unexpected(Error{Problem::cannotWrite, errno});
    if (int err = file.close()) return std::unexpected(Error{Problem::cannotWrite, err});

    for (int i = 0;; ++i) {
        const QString candidate = name(i);
        if (candidate.isEmpty()) return std::unexpected(Error{Problem::noFreeName, 0});
        const int err =
            moveWithoutReplacing(dir.get(), temporary.get(), QFile::encodeName(candidate));
        if (err == EEXIST) continue;
        if (err != 0) return std::unexpected(Error{Problem::cannotWrite, err});
        temporary.placed();
        // Make the new name itself durable; a failure here loses nothing already written.
        ::fsync(dir.get());
        return candidate;
    }
}

}  // namespace AtomicFileWriter
