#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Export/AtomicFileWriter.h"

using AtomicFileWriter::Method;

namespace {

QStringList entries(const QString& directory) {
    return QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

bool supportsUnnamedFiles(const QString& directory) {
    const int fd = ::open(QFile::encodeName(directory).constData(), O_TMPFILE | O_WRONLY, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

TEST(AtomicFileWriter, PlacesTheBytesUnderTheFirstFreeNameWithEitherMethod) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const Method method : {Method::unnamedWhereSupported, Method::namedTemporary}) {
        QTemporaryDir tmp;
        touch(tmp.filePath("a.png"));
        ASSERT_TRUE(QDir(tmp.path()).mkdir("b.png"));
        const QStringList names{"a.png", "b.png", "c.png"};
        const auto written = AtomicFileWriter::writeNew(
            tmp.path(), "bytes", [&](int i) { return i < names.size() ? names[i] : QString(); },
            method);
        ASSERT_TRUE(written.has_value()) << int(method);
        EXPECT_EQ(*written, "c.png");
        QFile file(tmp.filePath("c.png"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "bytes");
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(tmp.filePath("c.png")).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << int(method);
        EXPECT_EQ(entries(tmp.path()), (QStringList{"a.png", "b.png", "c.png"})) << int(method);
    }
}

// What the folder holds while the bytes are complete but not yet named: a process dying at that
// moment leaves exactly this behind.
TEST(AtomicFileWriter, NothingNamedExistsBeforeTheFileIsPlaced) {
    QTemporaryDir tmp;
    if (!supportsUnnamedFiles(tmp.path())) GTEST_SKIP() << "no unnamed files on this file system";
    QStringList seen;
    const auto written =
        AtomicFileWriter::writeNew(tmp.path(), QByteArray(1 << 20, 'x'), [&](int i) {
            if (i == 0) seen = entries(tmp.path());
            return i == 0 ? QStringLiteral("shot.png") : QString();
        });
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(seen, QStringList{});
    EXPECT_EQ(entries(tmp.path()), QStringList{"shot.png"});

    // Without unnamed files, the one hidden file is named after this process, so that a later
    // start can tell it from a save in progress.
    AtomicFileWriter::writeNew(
        tmp.path(), "x",
        [&](int i) {
            if (i == 0) seen = entries(tmp.path());
            return i == 0 ? QStringLiteral("other.png") : QString();
        },
        Method::namedTemporary);
    ASSERT_EQ(seen.size(), 2) << seen.join(' ').toStdString();
    EXPECT_TRUE(seen[0].startsWith(QStringLiteral(".tessik-%1-").arg(::getpid())))
        << seen[0].toStdString();
    EXPECT_EQ(entries(tmp.path()), (QStringList{"other.png", "shot.png"}));
}

TEST(AtomicFileWriter, StartUpRemovesOnlyTheTemporariesOfGoneWriters) {
    QTemporaryDir tmp;
    const QString own = QString::number(::getpid());
    // pid_max is at most 2^22: no process ever has this id.
    const QString gone = QStringLiteral("2147483646");
    const struct {
        QString name;
        bool removed;
    } files[] = {
        {".tessik-" + gone + "-3fa9c2.tmp", true},
        {".tessik-3fa9c2.tmp", true},  // an earlier version's name, without a process id
        {".tessik-" + own + "-3fa9c2.tmp", false},
        {".tessik-1-3fa9c2.tmp", false},  // its writer (process 1) is alive
        {".tessik-" + gone + "-3FA9C2.tmp", false},
        {".tessik-" + gone + "-3fa9c2.tmp.png", false},
        {"tessik-" + gone + "-3fa9c2.tmp", false},
        {".tessik-.tmp", false},
        {"Tessik_2025-03-05_09-07-03.png", false},
    };
    for (const auto& f : files) touch(tmp.filePath(f.name));
    // A folder or a link with a temporary's name is not a temporary file.
    ASSERT_TRUE(QDir(tmp.path()).mkdir(".tessik-" + gone + "-dead.tmp"));
    ASSERT_TRUE(QFile::link(tmp.filePath("Tessik_2025-03-05_09-07-03.png"),
                            tmp.filePath(".tessik-" + gone + "-beef.tmp")));

    EXPECT_EQ(AtomicFileWriter::removeStaleTemporaries(tmp.path()), 2);
    for (const auto& f : files)
        EXPECT_EQ(QFileInfo::exists(tmp.filePath(f.name)), !f.removed) << f.name.toStdString();
    EXPECT_TRUE(QFileInfo(tmp.filePath(".tessik-" + gone + "-dead.tmp")).isDir());
    EXPECT_TRUE(QFileInfo(tmp.filePath(".tessik-" + gone + "-beef.tmp")).isSymLink());
    EXPECT_EQ(AtomicFileWriter::removeStaleTemporaries(tmp.filePath("missing")), 0);
}
