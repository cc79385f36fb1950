#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "Settings/Preferences.h"
#include "Settings/SaveDirectoryBookmark.h"
#include "support/BookmarkRecords.h"
#include "support/CountingFolderAccess.h"
#include "support/FakeLoginItems.h"

namespace {

// A preferences store over a temporary settings file, with test doubles for the desktop.
class PreferencesTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    int iniIndex = 0;
    std::shared_ptr<FakeLoginItems> loginItems = std::make_shared<FakeLoginItems>();
    std::shared_ptr<CountingFolderAccess> access = std::make_shared<CountingFolderAccess>();
    std::unique_ptr<DefaultsStore> defaults = std::make_unique<DefaultsStore>(iniPath());

    // A fresh name per rewrite: QSettings caches a file it believes unchanged (same size and
    // time), which a hand-written replacement within the same second can look like.
    QString iniPath() const { return tmp.filePath(QString("Tessik-%1.conf").arg(iniIndex)); }
    QString folder(const QString& name) const {
        const QString path = tmp.filePath(name);
        QDir().mkpath(path);
        return path;
    }
    std::unique_ptr<Preferences> load() {
        defaults->sync();
        defaults = std::make_unique<DefaultsStore>(iniPath());
        return std::make_unique<Preferences>(*defaults, loginItems, access);
    }
    // Writes the settings file by hand, as another program or an old version might have.
    void writeIni(const QByteArray& text) {
        defaults.reset();
        ++iniIndex;
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        defaults = std::make_unique<DefaultsStore>(iniPath());
    }
};

}  // namespace

TEST_F(PreferencesTest, FirstLaunchUsesThePicturesFolderCopyAndTheDesktopLoginStatus) {
    for (auto [status, on] : {std::pair{LoginItems::Status::notRegistered, false},
                              {LoginItems::Status::enabled, true},
                              {LoginItems::Status::requiresApproval, false},
                              {LoginItems::Status::notFound, false}}) {
        loginItems->current = status;
        auto prefs = load();
        EXPECT_EQ(prefs->saveDirectory(), Preferences::defaultSaveDirectory());
        EXPECT_EQ(prefs->defaultAction(), ExportAction::copy);
        EXPECT_FALSE(prefs->hasScopedFolder());
        EXPECT_EQ(prefs->launchAtLogin(), on);
        EXPECT_FALSE(prefs->launchAtLoginError().has_value());
    }
    EXPECT_EQ(loginItems->registerCalls + loginItems->unregisterCalls, 0);
    EXPECT_TRUE(access->starts.isEmpty());
}

TEST_F(PreferencesTest, DefaultActionIsSaveOnlyForExactlyTheWordSave) {
    const QList<std::pair<QByteArray, ExportAction>> cases{
        {"defaultAction=save\n", ExportAction::save},
        {"defaultAction=Save\n", ExportAction::copy},
        {"defaultAction=\n", ExportAction::copy},
        {"defaultAction=copy\n", ExportAction::copy},
        {"defaultAction=paste\n", ExportAction::copy},
        {"defaultAction=@ByteArray(save)\n", ExportAction::copy},
        {"defaultAction=save, copy\n", ExportAction::copy}};
    for (const auto& [ini, expected] : cases) {
        writeIni("[General]\n" + ini);
        EXPECT_EQ(load()->defaultAction(), expected) << ini.constData();
    }
}

TEST_F(PreferencesTest, StartUpPicksTheSaveFolderFromBookmarkPathOrDefault) {
    const QString bookmarked = folder("Bookmarked");
    const QString plain = folder("Plain");
    const QByteArray bookmark = *SaveDirectoryBookmark::create(bookmarked);
    const QByteArray dangling = *SaveDirectoryBookmark::create(folder("Gone"));
    ASSERT_TRUE(QDir(tmp.filePath("Gone")).removeRecursively());
    const QByteArray withNul = recordWithPath(bookmark, plain + QChar(u'\0') + "elsewhere");
    const QByteArray relative = recordWithPath(bookmark, "Plain");

    struct Case {
        const char* name;
        std::optional<QByteArray> bookmark;
        std::optional<QString> path;
        QString expected;
        bool scoped;
    } cases[] = {
        {"path only", std::nullopt, plain, plain, false},
        {"empty path", std::nullopt, QString(), Preferences::defaultSaveDirectory(), false},
        {"bookmark and path", bookmark, plain, bookmarked, true},
        {"bookmark only", bookmark, std::nullopt, bookmarked, true},
        {"unresolvable bookmark beside a path", dangling, plain,
         Preferences::defaultSaveDirectory(), false},
        // A damaged record says nothing about the folder: the valid path beside it is kept.
        {"garbage bookmark beside a path", QByteArray("\x01\x02garbage"), plain, plain, false},
        {"record of a path with a NUL beside a path", withNul, plain, plain, false},
        {"record of a relative path beside a path", relative, plain, plain, false},
        {"garbage bookmark alone", QByteArray("\x01\x02garbage"), std::nullopt,
         Preferences::defaultSaveDirectory(), false},
        // The system would cut the path at the NUL and save elsewhere.
        {"path with a NUL", std::nullopt, plain + QChar(u'\0') + "elsewhere",
         Preferences::defaultSaveDirectory(), false},
        {"relative path", std::nullopt, QString("Pictures/Shots"),
         Preferences::defaultSaveDirectory(), false},
        {"dot path", std::nullopt, QString("./Shots"), Preferences::defaultSaveDirectory(), false},
        {"resource path", std::nullopt, QString(":/Shots"), Preferences::defaultSaveDirectory(),
         false},
    };
    for (const Case& c : cases) {
        writeIni("");
        if (c.bookmark) defaults->setData("saveDirectoryBookmark", *c.bookmark);
        if (c.path) defaults->setString("saveDirectory", *c.path);
        auto prefs = load();
        EXPECT_EQ(prefs->saveDirectory(), c.expected) << c.name;
        EXPECT_EQ(prefs->isAccessingSaveDirectory(), c.scoped) << c.name;
        // Unusable data is left in place, never silently dropped.
        EXPECT_EQ(defaults->data("saveDirectoryBookmark"), c.bookmark) << c.name;
    }
}

TEST_F(PreferencesTest, ABookmarkOfTheWrongTypeCountsAsNoBookmark) {
    const QString plain = folder("Plain");
    writeIni("[General]\nsaveDirectoryBookmark=just text\nsaveDirectory=" + plain.toUtf8() + "\n");
    auto prefs = load();
    EXPECT_EQ(prefs->saveDirectory(), plain);
    EXPECT_FALSE(prefs->hasScopedFolder());

    writeIni("[General]\nsaveDirectory=@ByteArray(" + plain.toUtf8() + ")\n");
    EXPECT_EQ(load()->saveDirectory(), Preferences::defaultSaveDirectory());
}

TEST_F(PreferencesTest, AStaleBookmarkIsUsedAndRefreshed) {
    const QString path = folder("Moved");
    const QByteArray old = *SaveDirectoryBookmark::create(path);
    // Moved away (not deleted, so its inode is not reused) and replaced by a new folder.
    ASSERT_TRUE(QDir().rename(path, tmp.filePath("Moved.old")));
    folder("Moved");
    ASSERT_TRUE(SaveDirectoryBookmark::resolve(old)->isStale);
    defaults->setData("saveDirectoryBookmark", old);

    auto prefs = load();
    EXPECT_EQ(prefs->saveDirectory(), path);
    EXPECT_TRUE(prefs->isAccessingSaveDirectory());
    const auto fresh = defaults->data("saveDirectoryBookmark");
    ASSERT_TRUE(fresh.has_value());
    EXPECT_NE(*fresh, old);
    EXPECT_EQ(SaveDirectoryBookmark::resolve(*fresh),
              (SaveDirectoryBookmark::Resolved{path, false}));
}

TEST_F(PreferencesTest, ChoosingAFolderBookmarksItAndMovesTheAccess) {
    const QString first = folder("First"), second = folder("Second");
    auto prefs = load();
    QSignalSpy changed(prefs.get(), &Preferences::saveDirectoryChanged);

    prefs->setSaveDirectory(first);
    prefs->setSaveDirectory(second);
    prefs->setSaveDirectory(second);  // same folder: no notification

    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(prefs->saveDirectory(), second);
    EXPECT_EQ(access->starts, QStringList({first, second, second}));
    EXPECT_EQ(access->stops, QStringList({first, second}));
    EXPECT_EQ(defaults->string("saveDirectory"), second);

    auto next = load();
    EXPECT_EQ(next->saveDirectory(), second);
    EXPECT_TRUE(next->isAccessingSaveDirectory());
}

TEST_F(PreferencesTest, AFolderThatCannotBeBookmarkedIsUsedNowAndByPathNextTime) {
    auto prefs = load();
    prefs->setSaveDirectory(folder("Bookmarked"));
    const QString unbookmarkable = tmp.filePath("not-yet-created");
    prefs->setSaveDirectory(unbookmarkable);

    EXPECT_EQ(prefs->saveDirectory(), unbookmarkable);
    EXPECT_FALSE(prefs->hasScopedFolder());
    EXPECT_FALSE(defaults->contains("saveDirectoryBookmark"));

    auto next = load();
    EXPECT_EQ(next->saveDirectory(), unbookmarkable);
    EXPECT_FALSE(next->hasScopedFolder());
}

TEST_F(PreferencesTest, ReleasingTheAccessStopsItExactlyOnce) {
    const QString path = folder("Held");
    defaults->setData("saveDirectoryBookmark", *SaveDirectoryBookmark::create(path));
    {
        auto prefs = load();
        ASSERT_TRUE(prefs->isAccessingSaveDirectory());
        prefs->releaseSaveDirectoryAccess();
        prefs->releaseSaveDirectoryAccess();
        EXPECT_FALSE(prefs->hasScopedFolder());
        EXPECT_EQ(prefs->saveDirectory(), path);
    }
    EXPECT_EQ(access->stops, QStringList({path}));

    // Never released explicitly: dropping the store ends the access.
    load().reset();
    EXPECT_EQ(access->stops, QStringList({path, path}));
}

TEST_F(PreferencesTest, DefaultActionIsStoredOnEveryAssignmentButNotifiesOnlyOnChange) {
    auto prefs = load();
    QSignalSpy changed(prefs.get(), &Preferences::defaultActionChanged);
    prefs->setDefaultAction(ExportAction::copy);
    EXPECT_EQ(defaults->string("defaultAction"), "copy");
    EXPECT_EQ(changed.count(), 0);
    prefs->setDefaultAction(ExportAction::save);
    prefs->setDefaultAction(ExportAction::save);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(load()->defaultAction(), ExportAction::save);
}

TEST_F(PreferencesTest, LaunchAtLoginCallsTheServiceOnlyWhenItDisagrees) {
    auto prefs = load();
    QSignalSpy changed(prefs.get(), &Preferences::launchAtLoginChanged);
    prefs->setLaunchAtLogin(false);  // already off
    EXPECT_EQ(loginItems->registerCalls + loginItems->unregisterCalls, 0);
    EXPECT_EQ(changed.count(), 0);

    prefs->setLaunchAtLogin(true);
    EXPECT_EQ(loginItems->registerCalls, 1);
    EXPECT_EQ(loginItems->current, LoginItems::Status::enabled);
    prefs->setLaunchAtLogin(true);
    EXPECT_EQ(loginItems->registerCalls, 1);

    prefs->setLaunchAtLogin(false);
    EXPECT_EQ(loginItems->unregisterCalls, 1);
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(PreferencesTest, AFailedRegistrationShowsTheReasonAndFollowsTheDesktop) {
    auto prefs = load();
    QSignalSpy changed(prefs.get(), &Preferences::launchAtLoginChanged);
    QSignalSpy errorChanged(prefs.get(), &Preferences::launchAtLoginErrorChanged);
    loginItems->failWith = "Dossier de démarrage en lecture seule";

    prefs->setLaunchAtLogin(true);
    EXPECT_FALSE(prefs->launchAtLogin());
    EXPECT_EQ(prefs->launchAtLoginError(), "Dossier de démarrage en lecture seule");
    EXPECT_EQ(loginItems->registerCalls, 1);
    EXPECT_EQ(changed.count(), 2);  // on, then back off
    EXPECT_EQ(errorChanged.count(), 1);

    loginItems->failWith.reset();
    prefs->setLaunchAtLogin(true);
    EXPECT_TRUE(prefs->launchAtLogin());
    EXPECT_FALSE(prefs->launchAtLoginError().has_value());
    EXPECT_EQ(errorChanged.count(), 2);
}

TEST_F(PreferencesTest, RefreshFollowsAChangeMadeOutsideTessik) {
    auto prefs = load();
    loginItems->current = LoginItems::Status::enabled;
    prefs->refreshLaunchAtLogin();
    EXPECT_TRUE(prefs->launchAtLogin());
    loginItems->current = LoginItems::Status::requiresApproval;
    prefs->refreshLaunchAtLogin();
    EXPECT_FALSE(prefs->launchAtLogin());
    EXPECT_EQ(loginItems->registerCalls + loginItems->unregisterCalls, 0);
}

TEST(PreferencesDefaultFolder, FollowsTheUsersXdgPicturesFolder) {
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(".config").toUtf8());
    const QString plain = Preferences::defaultSaveDirectory();

    QDir().mkpath(home.filePath(".config"));
    QDir().mkpath(home.filePath("Images"));
    QFile dirs(home.filePath(".config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_PICTURES_DIR=\"$HOME/Images\"\n");
    dirs.close();
    const QString localised = Preferences::defaultSaveDirectory();

    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
    if (oldConfig.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(plain, home.filePath("Pictures/Tessik"));
    EXPECT_EQ(localised, home.filePath("Images/Tessik"));
}
