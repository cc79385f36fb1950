#include "App/TessikApp.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>

#include <optional>

#include "App/AppDelegate.h"
#include "App/AppIcon.h"
#include "App/AppWiring.h"
#include "App/MainMenu.h"
#include "App/MainMenuBar.h"
#include "App/SessionCheck.h"
#include "App/SingleInstance.h"
#include "GlobalShortcuts/RecorderEnvironment.h"
#include "Platform/UnixSignals.h"

namespace TessikApp {

namespace {
int showAndQuit(const QString& message, const QString& informativeText, QMessageBox::Icon icon,
                int exitCode) {
    QMessageBox box(icon, message, message, QMessageBox::Ok);
    box.setInformativeText(informativeText);
    box.exec();
    return exitCode;
}
}  // namespace

int main(int argc, char** argv) {
    // Declared before the application so that it is released after the X connection closes:
    // an instance that relaunches Tessik has let go of its key grabs by then.
    std::optional<SingleInstance> instance;
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Tessik");
    QApplication::setApplicationName("Tessik");
    QApplication::setApplicationDisplayName("Tessik");
    QApplication::setApplicationVersion(TESSIK_VERSION);
    QApplication::setWindowIcon(AppIcon::make());
    // Closing the settings or onboarding window never quits.
    QApplication::setQuitOnLastWindowClosed(
        AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    if (SessionCheck::isWaylandSession(QProcessEnvironment::systemEnvironment()))
        return showAndQuit(SessionCheck::waylandMessage(), SessionCheck::waylandInformativeText(),
                           QMessageBox::Warning, 1);
    instance.emplace(qEnvironmentVariable("DISPLAY"));
    // Long enough for an instance that relaunches Tessik to finish quitting.
    if (!instance->acquire(3000))
        return showAndQuit(SingleInstance::alreadyRunningMessage(),
                           SingleInstance::alreadyRunningInformativeText(),
                           QMessageBox::Information, 0);

    UnixSignals unixSignals;
    AppDelegate delegate(makeProductionServices());
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
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });
    QMetaObject::invokeMethod(
        &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); }, Qt::QueuedConnection);
    return app.exec();
}

}  // namespace TessikApp
