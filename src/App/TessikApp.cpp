#include "App/TessikApp.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QtConcurrent/QtConcurrentRun>

#include <cstdio>
#include <optional>

#include "App/AppDelegate.h"
#include "App/AppIcon.h"
#include "App/AppWiring.h"
#include "App/CommandLine.h"
#include "App/MainMenu.h"
#include "App/MainMenuBar.h"
#include "App/ShortcutNames.h"
#include "App/SingleInstance.h"
#include "Base/ApplicationId.h"
#include "Base/QtTranslation.h"
#include "Export/AtomicFileWriter.h"
#include "GlobalShortcuts/KeyboardLayout.h"
#include "GlobalShortcuts/RecorderEnvironment.h"
#include "Platform/PlatformServices.h"
#include "Platform/Session.h"
#include "Platform/UnixSignals.h"
#include "Platform/Wayland/WaylandKeyboardLayout.h"
#include "Platform/X11/XkbKeyboardLayout.h"
#include "Settings/Preferences.h"
#include "TessikVersion.h"
#include "UI/AlertBox.h"

namespace TessikApp {

namespace {
// The area-capture shortcut as the running instance has it, named the way a user reads it.
std::optional<QString> captureShortcutText() {
    const auto shortcut = ShortcutNames::storedCaptureArea();
    if (!shortcut) return std::nullopt;
    // Character keys are named after the layout, read from the display server.
    if (Session::current() == SessionKind::x11)
        GlobalShortcuts::setKeyboardLayout(std::make_unique<XkbKeyboardLayout>());
    else
        GlobalShortcuts::setKeyboardLayout(std::make_unique<WaylandKeyboardLayout>());
    return shortcut->nativeText();
}

int showAndQuit(const QString& message, const QString& informativeText, QMessageBox::Icon icon,
                int exitCode) {
    AlertBox::run(icon, message, informativeText);
    return exitCode;
}
}  // namespace

int main(int argc, char** argv) {
    const CommandLine::Request request = CommandLine::parse(CommandLine::arguments(argc, argv));
    if (request.kind != CommandLine::Request::Kind::run) return CommandLine::respond(argc, argv);
    if (SingleInstance::deliverToRunning(argc, argv, request.command)) return 0;
    // Declared before the application so that it is released after the X connection closes:
    // an instance that relaunches Tessik has let go of its key grabs by then.
    std::optional<SingleInstance> instance;
    const SessionKind session = Session::detect(QProcessEnvironment::systemEnvironment());
    Session::selectQtPlatform(session);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Tessik");
    QApplication::setApplicationName("Tessik");
    QApplication::setApplicationDisplayName("Tessik");
    QApplication::setApplicationVersion(TESSIK_VERSION);
    QApplication::setDesktopFileName(ApplicationId::name);
    QApplication::setWindowIcon(AppIcon::make());
    installQtFrenchTranslation(app);
    // Closing the settings or onboarding window never quits.
    QApplication::setQuitOnLastWindowClosed(
        AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    const bool x11 = Session::current() == SessionKind::x11;
    instance.emplace(qEnvironmentVariable(x11 ? "DISPLAY" : "WAYLAND_DISPLAY"));
    // Long enough for an instance that relaunches Tessik to finish quitting.
    switch (instance->acquire(request.command, 3000)) {
        case SingleInstance::Outcome::primary:
            break;
        case SingleInstance::Outcome::delivered:
        case SingleInstance::Outcome::notRunning:
            return 0;
        case SingleInstance::Outcome::alreadyRunning:
            return showAndQuit(SingleInstance::alreadyRunningMessage(),
                               SingleInstance::alreadyRunningInformativeText(captureShortcutText()),
                               QMessageBox::Information, 0);
        case SingleInstance::Outcome::unreachable:
            std::fprintf(stderr, "tessik : %s\n", qPrintable(instance->failure()));
            return 1;
    }

    PlatformServices platform = makePlatformServices(Session::current());
    if (platform.missing)
        return showAndQuit(platform.missing->message, platform.missing->informativeText,
                           QMessageBox::Warning, 1);
    UnixSignals unixSignals;
    AppDelegate delegate(makeProductionServices(std::move(platform)));
    // A save cut short (where the file system has no unnamed files) left a hidden file behind;
    // off the main thread, as the folder may be large or slow.
    (void)QtConcurrent::run(AtomicFileWriter::removeStaleTemporaries,
                            Preferences::shared().saveDirectory());
    // Application menu, then edit menu.
    MainMenuBar mainMenu(
        {MainMenu::makeApplicationMenuItem().release(), MainMenu::makeEditMenuItem().release()});
    QObject::connect(mainMenu.action("showPreferences"), &QAction::triggered, &delegate,
                     &AppDelegate::showPreferences);
    // The shortcut recorder refuses combinations the main menu already uses.
    GlobalShortcuts::RecorderEnvironment recorderEnvironment;
    recorderEnvironment.mainMenu = [&mainMenu] {
        return QList<const QMenu*>(mainMenu.menus().begin(), mainMenu.menus().end());
    };
    GlobalShortcuts::setRecorderEnvironment(std::move(recorderEnvironment));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, [&delegate, &instance] {
        instance->stopServing();
        delegate.applicationWillTerminate();
    });
    QMetaObject::invokeMethod(
        &delegate,
        [&delegate, &instance] {
            delegate.applicationDidFinishLaunching();
            instance->serve([&delegate](AppCommand command) { delegate.perform(command); });
        },
        Qt::QueuedConnection);
    return app.exec();
}

}  // namespace TessikApp
