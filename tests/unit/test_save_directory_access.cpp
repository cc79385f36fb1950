#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "Settings/SaveDirectoryBookmark.h"
#include "Settings/SecurityScopedFolder.h"
#include "support/BookmarkRecords.h"
#include "support/CountingFolderAccess.h"

namespace {
QByteArray randomBytes(int n) {
    QByteArray bytes(n, '\0');
    for (auto& b : bytes) b = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return bytes;
}
}  // namespace

TEST(SaveDirectoryBookmark, RoundTripsAFolderAndFlagsAReplacedOneAsStale) {
    QTemporaryDir tmp;
    const QString folder = tmp.filePath("Captures");
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto data = SaveDirectoryBookmark::create(folder);
    ASSERT_TRUE(data.has_value());

    EXPECT_EQ(SaveDirectoryBookmark::resolve(*data),
              (SaveDirectoryBookmark::Resolved{folder, false}));

    // Another folder now stands at the same path: same place, different identity. The old one
    // is moved away, not deleted, so its inode cannot be reused for the new one.
    ASSERT_TRUE(QDir().rename(folder, tmp.filePath("Captures.old")));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_EQ(SaveDirectoryBookmark::resolve(*data),
              (SaveDirectoryBookmark::Resolved{folder, true}));

    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_FALSE(SaveDirectoryBookmark::resolve(*data).has_value());
}

TEST(SaveDirectoryBookmark, GarbageAndDamagedRecordsResolveToNothing) {
    QTemporaryDir tmp;
    const auto good = SaveDirectoryBookmark::create(tmp.path());
    ASSERT_TRUE(good.has_value());
    QByteArray wrongVersion = *good;
    // The version byte follows the magic (4-byte length + 14 bytes).
    wrongVersion[18] = 9;

    const QList<QByteArray> garbage{{},
                                    randomBytes(3),
                                    randomBytes(64),
                                    randomBytes(4096),
                                    good->left(good->size() - 3),
                                    *good + "x",
                                    wrongVersion,
                                    QByteArray("/home/someone/Pictures"),
                                    // The folder exists, but the system would cut the path at
                                    // the NUL: a record of "<tmp>\0elsewhere" is damage.
                                    recordWithPath(*good, tmp.path() + QChar(u'\0') + "elsewhere"),
                                    recordWithPath(*good, QDir(tmp.path()).dirName())};
    for (const QByteArray& data : garbage) {
        EXPECT_FALSE(SaveDirectoryBookmark::resolve(data).has_value())
            << data.toHex().left(80).data();
        EXPECT_TRUE(SaveDirectoryBookmark::examine(data) ==
                    std::unexpected(SaveDirectoryBookmark::Unresolved::damaged))
            << data.toHex().left(80).data();
    }
    // A sound record whose folder is gone is told apart from damage.
    ASSERT_TRUE(QDir().mkpath(tmp.filePath("gone")));
    const auto record = SaveDirectoryBookmark::create(tmp.filePath("gone"));
    ASSERT_TRUE(record.has_value());
    ASSERT_TRUE(QDir().rmdir(tmp.filePath("gone")));
    EXPECT_TRUE(SaveDirectoryBookmark::examine(*record) ==
                std::unexpected(SaveDirectoryBookmark::Unresolved::folderMissing));
}

TEST(SaveDirectoryBookmark, PathsMustBeAbsoluteAndFreeOfNul) {
    QTemporaryDir tmp;
    EXPECT_FALSE(SaveDirectoryBookmark::create(tmp.path() + QChar(u'\0') + "x").has_value());
    const std::pair<QString, bool> cases[] = {
        {"/home/someone/Pictures", true},
        {"/", true},
        {"Pictures", false},
        {"./Pictures", false},
        {"~/Pictures", false},
        {":/Pictures", false},
        {"", false},
        {QString("/home/a") + QChar(u'\0') + "b", false},
    };
    for (const auto& [path, usable] : cases)
        EXPECT_EQ(SaveDirectoryBookmark::isUsablePath(path), usable) << path.toStdString();
}

TEST(SaveDirectoryBookmark, CannotBookmarkAMissingFolderOrAFile) {
    QTemporaryDir tmp;
    QFile file(tmp.filePath("plain.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (const QString& path : {tmp.filePath("missing"), tmp.filePath("plain.txt")}) {
        const auto data = SaveDirectoryBookmark::create(path);
        ASSERT_FALSE(data.has_value()) << path.toStdString();
        EXPECT_FALSE(data.error().description().isEmpty());
    }
}

TEST(SecurityScopedFolder, BalancesEveryGrantedStartWithExactlyOneStop) {
    auto access = std::make_shared<CountingFolderAccess>();
    {
        SecurityScopedFolder folder("/srv/a", access);
        EXPECT_TRUE(folder.isAccessing());
        folder.stopAccessing();
        folder.stopAccessing();
        EXPECT_FALSE(folder.isAccessing());
    }
    { SecurityScopedFolder dropped("/srv/b", access); }
    EXPECT_EQ(access->starts, QStringList({"/srv/a", "/srv/b"}));
    EXPECT_EQ(access->stops, QStringList({"/srv/a", "/srv/b"}));
}

TEST(SecurityScopedFolder, ARefusedStartIsNeverStopped) {
    auto access = std::make_shared<CountingFolderAccess>();
    access->grant = false;
    {
        SecurityScopedFolder folder("/srv/refused", access);
        EXPECT_FALSE(folder.isAccessing());
        EXPECT_EQ(folder.url(), "/srv/refused");
        folder.stopAccessing();
    }
    EXPECT_EQ(access->starts.size(), 1);
    EXPECT_TRUE(access->stops.isEmpty());
}
