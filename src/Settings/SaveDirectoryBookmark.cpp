#include "Settings/SaveDirectoryBookmark.h"

#include <sys/stat.h>

#include <cerrno>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QIODevice>

#include "Base/Localization.h"
#include "Base/SystemError.h"

namespace SaveDirectoryBookmark {
namespace {

const QByteArray kMagic = QByteArrayLiteral("TessikBookmark");
constexpr quint8 kVersion = 1;

struct Identity {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const Identity&) const = default;
};

// The identity of the directory at `path`, or the errno of why there is none.
std::expected<Identity, int> directoryIdentity(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::unexpected(errno);
    if (!S_ISDIR(st.st_mode)) return std::unexpected(ENOTDIR);
    return Identity{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
}

}  // namespace

QString Failure::description() const {
    return localized("Impossible de mémoriser le dossier d'enregistrement : ") + reason;
}

bool isUsablePath(const QString& path) {
    return path.startsWith(QLatin1Char('/')) && !path.contains(QChar(u'\0'));
}

std::optional<Resolved> resolve(const QByteArray& data) {
    const auto resolved = examine(data);
    if (!resolved) return std::nullopt;
    return *resolved;
}

std::expected<Resolved, Unresolved> examine(const QByteArray& data) {
    QDataStream in(data);
    in.setVersion(QDataStream::Qt_6_4);
    QByteArray magic;
    quint8 version = 0;
    QString path;
    Identity stored;
    in >> magic >> version >> path >> stored.device >> stored.inode;
    if (in.status() != QDataStream::Ok || !in.atEnd() || magic != kMagic || version != kVersion ||
        !isUsablePath(path))
        return std::unexpected(Unresolved::damaged);
    const auto current = directoryIdentity(path);
    if (!current) return std::unexpected(Unresolved::folderMissing);
    return Resolved{path, *current != stored};
}

std::expected<QByteArray, Failure> create(const QString& url) {
    if (url.contains(QChar(u'\0'))) return std::unexpected(Failure{describeSystemError(EINVAL)});
    const QString path = QDir::cleanPath(QDir(url).absolutePath());
    const auto identity = directoryIdentity(path);
    if (!identity) return std::unexpected(Failure{describeSystemError(identity.error())});
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << kMagic << kVersion << path << identity->device << identity->inode;
    return data;
}

}  // namespace SaveDirectoryBookmark
