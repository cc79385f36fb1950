#include <gtest/gtest.h>

#include <thread>

#include <QFile>
#include <QTemporaryDir>

#include "Platform/Wayland/WaylandPermissionService.h"
#include "support/FakeShortcutsPortal.h"

using ScreenshotPermission::Entry;
using ScreenshotPermission::Table;

namespace {
const QString kAppId = QStringLiteral("io.github.tessik.Tessik");

// A desktop whose store and portal answers the test sets.
struct FakeDesktop {
    std::optional<Table> store = Table{};
    std::optional<bool> consulted = true;
    int consultedAsked = 0;
    int storeReads = 0;
    bool focused = true;
    int requests = 0;
    std::function<void(bool)> pendingShot;
    QStringList started;

    WaylandPermissionService::Desktop desktop() {
        WaylandPermissionService::Desktop d;
        d.readStore = [this] {
            ++storeReads;
            return store;
        };
        d.storeConsulted = [this] {
            ++consultedAsked;
            return consulted;
        };
        d.screenshot = [this](std::function<void(bool)> done) {
            ++requests;
            pendingShot = std::move(done);
        };
        d.hasFocus = [this] { return focused; };
        d.findProgram = [](const QString& name) {
            return name == "gnome-control-center" ? "/usr/bin/" + name : QString();
        };
        d.desktops = {"ubuntu", "GNOME"};
        d.focusWaitMs = 300;
        return d;
    }
    std::unique_ptr<WaylandPermissionService> service() {
        return std::make_unique<WaylandPermissionService>(
            desktop(), kAppId,
            [this](const QString& program, const QStringList& arguments) {
                started << (QStringList{program} + arguments).join(' ');
                return true;
            },
            [] {});
    }
};
}  // namespace

TEST(WaylandPermission, TheStoresAnswerDecidesAccess) {
    struct Case {
        const char* what;
        std::optional<Table> store;
        std::optional<bool> consulted;  // the backend's Screenshot version >= 2
        bool access;
    };
    const Case cases[] = {
        {"yes", Table{{"", {"yes"}}}, true, true},
        {"no", Table{{"", {"no"}}}, true, false},
        {"no, backend 1", Table{{"", {"no"}}}, false, false},
        {"unset, backend 2", Table{}, true, false},
        {"unset, backend 1", Table{}, false, true},
        {"unset, backend unknown", Table{}, std::nullopt, false},
        {"store unreadable, backend 2", std::nullopt, true, false},
        {"store unreadable, backend 1", std::nullopt, false, true},
        {"damaged: another word", Table{{"", {"maybe"}}}, true, false},
        {"damaged: two answers", Table{{"", {"yes", "no"}}}, true, false},
        {"damaged: empty", Table{{"", {}}}, true, false},
        {"damaged, backend 1", Table{{"", {"YES"}}}, false, true},
        {"another application's yes", Table{{"org.example.Other", {"yes"}}}, true, false},
        {"own id yes", Table{{kAppId, {"yes"}}}, true, true},
        {"own id no over empty id yes", Table{{kAppId, {"no"}}, {"", {"yes"}}}, true, false},
        {"own id damaged, empty id yes", Table{{kAppId, {"?"}}, {"", {"yes"}}}, true, true},
    };
    for (const Case& c : cases) {
        FakeDesktop desktop;
        desktop.store = c.store;
        desktop.consulted = c.consulted;
        EXPECT_EQ(desktop.service()->hasAccess(), c.access) << c.what;
    }
}

TEST(WaylandPermission, TheBackendIsAskedOnceAndTheStoreEachTime) {
    FakeDesktop desktop;
    auto service = desktop.service();
    EXPECT_FALSE(service->hasAccess());
    desktop.store = Table{{"", {"yes"}}};
    EXPECT_TRUE(service->hasAccess());
    desktop.store = Table{{"", {"no"}}};
    EXPECT_FALSE(service->hasAccess());
    EXPECT_EQ(desktop.consultedAsked, 1);
}

TEST(WaylandPermission, TheRequestWaitsForTheFocusAndIsMadeOnce) {
    FakeDesktop desktop;
    desktop.focused = false;
    auto service = desktop.service();
    EXPECT_TRUE(service->requestAccess());
    EXPECT_TRUE(service->requestAccess());
    QCoreApplication::processEvents();
    EXPECT_EQ(desktop.requests, 0);
    desktop.focused = true;
    ASSERT_TRUE(spinUntil([&] { return desktop.requests > 0; }));
    EXPECT_EQ(desktop.requests, 1);
    // The desktop asked the user, who granted: the store now says yes.
    desktop.store = Table{{"", {"yes"}}};
    desktop.pendingShot(true);
    EXPECT_TRUE(service->hasAccess());
    // Granted: nothing more to ask.
    service->requestAccess();
    QCoreApplication::processEvents();
    EXPECT_EQ(desktop.requests, 1);
}

TEST(WaylandPermission, WithoutTheFocusTheRequestIsMadeAnywayInTheEnd) {
    FakeDesktop desktop;
    desktop.focused = false;
    auto service = desktop.service();
    service->requestAccess();
    EXPECT_TRUE(spinUntil([&] { return desktop.requests == 1; }, 2000));
}

TEST(WaylandPermission, AScreenshotTakenWithoutAnAnswerShowsTheStoreIsNotConsulted) {
    FakeDesktop desktop;
    desktop.consulted = std::nullopt;
    auto service = desktop.service();
    EXPECT_FALSE(service->hasAccess());
    service->requestAccess();
    ASSERT_TRUE(spinUntil([&] { return bool(desktop.pendingShot); }));
    std::exchange(desktop.pendingShot, {})(true);
    EXPECT_TRUE(service->hasAccess());
    // A refusal stored later still counts.
    desktop.store = Table{{"", {"no"}}};
    EXPECT_FALSE(service->hasAccess());
    // A deny leaves things as they were; a new request may be made.
    FakeDesktop denied;
    auto other = denied.service();
    other->requestAccess();
    ASSERT_TRUE(spinUntil([&] { return bool(denied.pendingShot); }));
    denied.store = Table{{"", {"no"}}};
    std::exchange(denied.pendingShot, {})(false);
    EXPECT_FALSE(other->hasAccess());
    other->requestAccess();
    EXPECT_TRUE(spinUntil([&] { return denied.requests == 2; }));
}

TEST(WaylandPermission, CapturesTakenOnAnotherThreadCorrectTheAssumedBackend) {
    // The portal files say the backend consults the store, yet it takes screenshots while the
    // store has no answer (another backend answers, a newer frontend's choice).
    FakeDesktop desktop;
    desktop.consulted = true;
    auto service = desktop.service();
    EXPECT_FALSE(service->hasAccess());
    const auto witness = service->screenshotWitness();
    std::thread capture(witness);
    capture.join();
    ASSERT_TRUE(spinUntil([&] { return service->hasAccess(); }));
    EXPECT_EQ(desktop.requests, 0);

    // A capture taken once the store said yes teaches nothing: the answer decides later.
    FakeDesktop granted;
    granted.store = Table{{"", {"yes"}}};
    auto other = granted.service();
    std::thread(other->screenshotWitness()).join();
    QCoreApplication::processEvents();
    granted.store = Table{};
    EXPECT_FALSE(other->hasAccess());

    // News arriving after the service went are dropped.
    const auto late = other->screenshotWitness();
    other.reset();
    const int reads = granted.storeReads;
    std::thread(late).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(granted.storeReads, reads);
}

TEST(WaylandPermission, SettingsOpenWhereTheDesktopHasAPermissionsPage) {
    const auto find = [](const QString& name) {
        return name == "gnome-control-center" ? "/usr/bin/" + name : QString();
    };
    const auto none = [](const QString&) { return QString(); };
    struct Case {
        QStringList desktops;
        std::function<QString(const QString&)> find;
        std::optional<QStringList> command;
    };
    const Case cases[] = {
        {{"GNOME"}, find, QStringList{"/usr/bin/gnome-control-center", "applications"}},
        {{"ubuntu", "GNOME"}, find, QStringList{"/usr/bin/gnome-control-center", "applications"}},
        {{"gnome"}, find, QStringList{"/usr/bin/gnome-control-center", "applications"}},
        {{"GNOME"}, none, std::nullopt},
        {{"sway"}, find, std::nullopt},
        {{"KDE"}, find, std::nullopt},
        {{}, find, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WaylandPermissionService::settingsCommand(c.desktops, c.find), c.command)
            << c.desktops.join(':').toStdString();
    FakeDesktop desktop;
    desktop.service()->openSystemSettings();
    EXPECT_EQ(desktop.started, QStringList{"/usr/bin/gnome-control-center applications"});
}

TEST(WaylandPermission, TheScreenshotBackendIsFoundByDesktopInThePortalFiles) {
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    write("wlr.portal",
          "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.wlr\n"
          "Interfaces=org.freedesktop.impl.portal.Screenshot;org.freedesktop.impl.portal."
          "ScreenCast;\nUseIn=wlroots;sway;Wayfire;\n");
    write("gtk.portal",
          "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.gtk\n"
          "Interfaces=org.freedesktop.impl.portal.FileChooser;\nUseIn=gnome;sway\n");
    write("gnome.portal",
          "# GNOME's\n[portal]\nDBusName = org.freedesktop.impl.portal.desktop.gnome\n"
          "Interfaces=org.freedesktop.impl.portal.Access;org.freedesktop.impl.portal.Screenshot\n"
          "UseIn=gnome\n[other]\nUseIn=sway\n");
    write("broken.portal",
          "[portal]\nInterfaces=org.freedesktop.impl.portal.Screenshot;\n"
          "UseIn=kde\n");
    write("notes.txt",
          "[portal]\nDBusName=x\nInterfaces=org.freedesktop.impl.portal.Screenshot\n"
          "UseIn=kde\n");
    using ScreenshotPermission::screenshotBackend;
    EXPECT_EQ(screenshotBackend(dir.path(), {"sway"}), "org.freedesktop.impl.portal.desktop.wlr");
    EXPECT_EQ(screenshotBackend(dir.path(), {"ubuntu", "GNOME"}),
              "org.freedesktop.impl.portal.desktop.gnome");
    EXPECT_EQ(screenshotBackend(dir.path(), {"KDE"}), std::nullopt);
    EXPECT_EQ(screenshotBackend(dir.path(), {}), std::nullopt);
    EXPECT_EQ(screenshotBackend(dir.filePath("missing"), {"sway"}), std::nullopt);
}
