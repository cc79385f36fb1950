#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Platform/XdgAutostart.h"

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

TEST(XdgAutostart, RegistersAnEntryAndFollowsTheUsersHiddenFlag) {
    QTemporaryDir tmp;
    XdgAutostart items(tmp.filePath("config/autostart"), "/opt/Tessik apps/tessik");
    EXPECT_EQ(items.status(), LoginItems::Status::notRegistered);
    EXPECT_TRUE(items.unregisterApp().has_value());  // nothing to remove is not an error

    ASSERT_TRUE(items.registerApp().has_value());
    EXPECT_EQ(items.status(), LoginItems::Status::enabled);
    const QByteArray entry = readAll(items.entryPath());
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nExec=\"/opt/Tessik apps/tessik\"\n")) << entry.constData();
    EXPECT_TRUE(entry.contains("\nType=Application\n"));

    // Desktops switch an autostart entry off by writing Hidden=true into the user's copy.
    QFile file(items.entryPath());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("Hidden=true\n");
    file.close();
    EXPECT_EQ(items.status(), LoginItems::Status::notRegistered);
    ASSERT_TRUE(items.registerApp().has_value());
    EXPECT_EQ(items.status(), LoginItems::Status::enabled);

    ASSERT_TRUE(items.unregisterApp().has_value());
    EXPECT_FALSE(QFile::exists(items.entryPath()));
    EXPECT_EQ(items.status(), LoginItems::Status::notRegistered);
}

TEST(XdgAutostart, QuotesShellCharactersInTheExecutablePath) {
    const QByteArray entry = XdgAutostart::entryContents(R"(/home/a$b/"x"\y/tessik)");
    // Exec quoting escapes $ " \ with a backslash, and the entry escapes every backslash again.
    EXPECT_TRUE(entry.contains(R"(Exec="/home/a\\$b/\\"x\\"\\\\y/tessik")")) << entry.constData();
}

TEST(XdgAutostart, FailsInFrenchWhenTheAutostartFolderCannotBeMade) {
    QTemporaryDir tmp;
    QFile blocker(tmp.filePath("config"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should go
    blocker.close();
    XdgAutostart items(tmp.filePath("config/autostart"), "/usr/bin/tessik");
    const auto outcome = items.registerApp();
    ASSERT_FALSE(outcome.has_value());
    EXPECT_TRUE(outcome.error().description().startsWith(
        QString::fromUtf8("Impossible d'activer l'ouverture à la connexion : ")))
        << outcome.error().description().toStdString();
    EXPECT_EQ(items.status(), LoginItems::Status::notRegistered);
}

TEST(XdgAutostart, UsesXdgConfigHomeWhenAbsoluteAndHomeConfigOtherwise) {
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/srv/conf");
    EXPECT_EQ(XdgAutostart::userAutostartDirectory(), "/srv/conf/autostart");
    qputenv("XDG_CONFIG_HOME", "relative/conf");
    EXPECT_EQ(XdgAutostart::userAutostartDirectory(), QDir::home().filePath(".config/autostart"));
    if (old.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", old);
}
