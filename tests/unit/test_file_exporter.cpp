#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>

#include "Base/SystemError.h"
#include "Export/FileExporter.h"
#include "Export/ImageEncoder.h"
#include "support/ScratchMount.h"

namespace {

const QDateTime kFiveMarch(QDate(2025, 3, 5), QTime(9, 7, 3));
const QString kFiveMarchName = "Tessik_2025-03-05_09-07-03.png";

QImage sampleImage(QColor colour = QColor(200, 40, 10)) {
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(colour);
    image.setPixelColor(3, 4, Qt::blue);
    return image;
}

FileExporter exporterAt(const QString& directory, QDateTime when = kFiveMarch) {
    return FileExporter(directory, [when] { return when; });
}

// Every entry of the folder, hidden ones included (a leftover temporary file would be hidden).
QStringList entries(const QString& directory) {
    return QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString messageOf(const std::expected<QString, AnyError>& saved) {
    return saved ? QString() : saved.error().description();
}

}  // namespace

TEST(FileExporterNames, UseTheGregorianDateInAsciiDigitsWhateverTheLocale) {
    const QLocale previous;
    struct Case {
        QLocale locale;
        QDateTime when;
        QString expected;
    } cases[] = {
        {QLocale::c(), kFiveMarch, kFiveMarchName},
        {QLocale(QLocale::Arabic, QLocale::Egypt), kFiveMarch, kFiveMarchName},
        {QLocale(QLocale::Persian, QLocale::Iran), QDateTime(QDate(2024, 12, 31), QTime(15, 0)),
         "Tessik_2024-12-31_15-00-00.png"},
        {QLocale(QLocale::Thai, QLocale::Thailand), QDateTime(QDate(2025, 1, 2), QTime(0, 0, 9)),
         "Tessik_2025-01-02_00-00-09.png"},
    };
    for (const Case& c : cases) {
        QLocale::setDefault(c.locale);
        EXPECT_EQ(FileExporter::makeFilename(c.when), c.expected) << c.locale.name().toStdString();
    }
    QLocale::setDefault(previous);
    // A moment given in another zone is named in local time.
    EXPECT_EQ(FileExporter::makeFilename(kFiveMarch.toTimeZone(QTimeZone("Asia/Tokyo"))),
              kFiveMarchName);
}

TEST(FileExporterNames, CollisionNamesCountFromTwoBeforeTheExtension) {
    EXPECT_EQ(FileExporter::candidateName(kFiveMarchName, 1), kFiveMarchName);
    EXPECT_EQ(FileExporter::candidateName(kFiveMarchName, 2), "Tessik_2025-03-05_09-07-03-2.png");
    EXPECT_EQ(FileExporter::candidateName(kFiveMarchName, 999),
              "Tessik_2025-03-05_09-07-03-999.png");
}

TEST(FileExporter, SavesTheImageAndTakesTheNextFreeNameOnCollision) {
    QTemporaryDir tmp;
    const QString dir = tmp.filePath("Pictures/Tessik");
    const FileExporter exporter = exporterAt(dir);
    ::umask(022);

    const auto first = exporter.save(sampleImage());
    ASSERT_TRUE(first.has_value()) << messageOf(first).toStdString();
    EXPECT_EQ(*first, QDir(dir).filePath(kFiveMarchName));
    const QImage back(*first);
    EXPECT_EQ(back.convertToFormat(QImage::Format_ARGB32), sampleImage());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(*first).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    // A folder named like the next candidate counts as taken too.
    QDir().mkpath(QDir(dir).filePath("Tessik_2025-03-05_09-07-03-2.png"));
    const auto second = exporter.save(sampleImage(Qt::green));
    const auto third = exporter.save(sampleImage(Qt::cyan));
    ASSERT_TRUE(second && third);
    EXPECT_EQ(QFileInfo(*second).fileName(), "Tessik_2025-03-05_09-07-03-3.png");
    EXPECT_EQ(QFileInfo(*third).fileName(), "Tessik_2025-03-05_09-07-03-4.png");
    // Nothing earlier was touched.
    EXPECT_EQ(QImage(*first).convertToFormat(QImage::Format_ARGB32), sampleImage());
    EXPECT_EQ(entries(dir).size(), 4);
}

TEST(FileExporter, ReadsTheClockOnceAfterEncoding) {
    QTemporaryDir tmp;
    std::atomic<int> reads = 0, encodes = 0;
    bool encodedBeforeClock = false;
    FileExporter exporter(
        tmp.path(),
        [&] {
            ++reads;
            encodedBeforeClock = encodes == 1;
            return kFiveMarch;
        },
        [&](const QImage& image, const QString& type) {
            ++encodes;
            return standardImageEncoding()(image, type);
        });
    ASSERT_TRUE(exporter.save(sampleImage()).has_value());
    EXPECT_EQ(reads, 1);
    EXPECT_TRUE(encodedBeforeClock);
}

TEST(FileExporter, CreatesMissingParentsAndLeavesAnExistingFolderAlone) {
    QTemporaryDir tmp;
    const QString deep = tmp.filePath("a/b/c");
    ASSERT_TRUE(exporterAt(deep).save(sampleImage()).has_value());
    EXPECT_TRUE(QFileInfo(deep).isDir());

    QFile keep(QDir(deep).filePath("notes.txt"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("mine");
    keep.close();
    ASSERT_TRUE(exporterAt(deep).save(sampleImage()).has_value());
    EXPECT_EQ(entries(deep), QStringList({"Tessik_2025-03-05_09-07-03-2.png",
                                          "Tessik_2025-03-05_09-07-03.png", "notes.txt"}));
}

TEST(FileExporter, AFolderThatCannotBeMadeIsReportedWithTheReason) {
    QTemporaryDir tmp;
    QFile file(tmp.filePath("taken"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString prefix =
        QString::fromUtf8("Impossible d'écrire dans le dossier d'enregistrement : ");
    for (const QString& dir : {tmp.filePath("taken"), tmp.filePath("taken/sub")}) {
        const auto saved = exporterAt(dir).save(sampleImage());
        ASSERT_FALSE(saved.has_value()) << dir.toStdString();
        const auto* failure = saved.error().as<FileExporter::Failure>();
        ASSERT_NE(failure, nullptr);
        EXPECT_EQ(failure->kind, FileExporter::Failure::Case::directoryUnavailable);
        EXPECT_EQ(saved.error().description(), prefix + describeSystemError(ENOTDIR));
    }
}

TEST(FileExporter, AReadOnlyParentFailsWithTheFolderMessage) {
    QTemporaryDir tmp;
    const QString parent = tmp.filePath("readonly");
    // Root ignores permission bits, so as root the parent is a read-only file system instead.
    ScratchMount mount(parent, "size=64k", /*readOnly=*/true);
    int expectedErrno = EROFS;
    if (!mount.mounted()) {
        if (::geteuid() == 0) GTEST_SKIP() << "cannot mount a read-only file system here";
        QFile::setPermissions(parent, QFile::ReadOwner | QFile::ExeOwner);
        expectedErrno = EACCES;
    }
    const auto saved = exporterAt(QDir(parent).filePath("Tessik")).save(sampleImage());
    QFile::setPermissions(parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error().description(),
              QString::fromUtf8("Impossible d'écrire dans le dossier d'enregistrement : ") +
                  describeSystemError(expectedErrno));
}

TEST(FileExporter, AFullDiskFailsCleanlyAndLeavesNoTemporaryFile) {
    QTemporaryDir tmp;
    const QString dir = tmp.filePath("small");
    ScratchMount mount(dir, "size=16k");
    if (!mount.mounted()) GTEST_SKIP() << "cannot mount a small file system here";
    QImage noisy(300, 300, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(x, y, qRgb(x * y % 251, x * 7 % 253, y * 13 % 241));

    const auto saved = exporterAt(dir).save(noisy);
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(
        saved.error().description(),
        QString::fromUtf8("Impossible d'enregistrer la capture : ") + describeSystemError(ENOSPC));
    EXPECT_TRUE(entries(dir).isEmpty()) << entries(dir).join(' ').toStdString();
    // A small image still fits afterwards: the failed attempt freed its space.
    EXPECT_TRUE(exporterAt(dir).save(sampleImage()).has_value());
}

TEST(FileExporter, WhenEveryNameIsTakenItFailsWithItsOwnMessage) {
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    for (int i = 1; i <= FileExporter::lastCounter; ++i) {
        QFile f(QDir(dir).filePath(FileExporter::candidateName(kFiveMarchName, i)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const auto saved = exporterAt(dir).save(sampleImage());
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error().as<FileExporter::Failure>()->kind,
              FileExporter::Failure::Case::noAvailableName);
    EXPECT_EQ(saved.error().description(),
              QString::fromUtf8("Aucun nom de fichier n'est libre pour cette capture dans le "
                                "dossier d'enregistrement."));
    EXPECT_EQ(entries(dir).size(), FileExporter::lastCounter);
    for (const QString& name : entries(dir))
        EXPECT_EQ(QFileInfo(QDir(dir).filePath(name)).size(), 0);
}

TEST(FileExporter, AnEncodingFailurePassesUnchangedAndWritesNothing) {
    QTemporaryDir tmp;
    const QString dir = tmp.filePath("out");
    FileExporter exporter(
        dir, [] { return kFiveMarch; },
        [](const QImage&, const QString&) -> std::expected<QByteArray, AnyError> {
            return std::unexpected(AnyError(ImageEncoder::Failure::encodingFailed()));
        });
    const auto saved = exporter.save(sampleImage());
    ASSERT_FALSE(saved.has_value());
    ASSERT_NE(saved.error().as<ImageEncoder::Failure>(), nullptr);
    EXPECT_TRUE(QFileInfo(dir).isDir());
    EXPECT_TRUE(entries(dir).isEmpty());
}

TEST(FileExporter, ConcurrentSavesInTheSameSecondKeepEveryFile) {
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    constexpr int kSavers = 12;
    std::vector<std::expected<QString, AnyError>> results(
        kSavers, std::unexpected(AnyError(FileExporter::Failure::noAvailableName())));
    std::vector<std::thread> threads;
    for (int i = 0; i < kSavers; ++i)
        threads.emplace_back(
            [&, i] { results[i] = exporterAt(dir).save(sampleImage(QColor(i * 20, 0, 0))); });
    for (auto& t : threads) t.join();

    QStringList names;
    for (int i = 0; i < kSavers; ++i) {
        ASSERT_TRUE(results[i].has_value()) << i;
        // Each file holds exactly the image of the save that reported it.
        EXPECT_EQ(QImage(*results[i]).convertToFormat(QImage::Format_ARGB32),
                  sampleImage(QColor(i * 20, 0, 0)))
            << i;
        names << QFileInfo(*results[i]).fileName();
    }
    names.sort();
    names.removeDuplicates();
    EXPECT_EQ(names.size(), kSavers);
    EXPECT_EQ(entries(dir).size(), kSavers);
}

TEST(FileExporter, ExportsThroughAFutureOffTheCallingThread) {
    QTemporaryDir tmp;
    FileExporter exporter = exporterAt(tmp.path());
    QFuture<ExportOutcome> future = exporter.exportImage(sampleImage());
    future.waitForFinished();
    ASSERT_TRUE(future.result().has_value());
    EXPECT_EQ(entries(tmp.path()), QStringList({kFiveMarchName}));

    FileExporter broken = exporterAt(tmp.filePath(kFiveMarchName + "/sub"));
    QFuture<ExportOutcome> failed = broken.exportImage(sampleImage());
    failed.waitForFinished();
    ASSERT_FALSE(failed.result().has_value());
    EXPECT_NE(failed.result().error().as<FileExporter::Failure>(), nullptr);
}
