#include "App/TessikApp.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>

#include "App/AppDelegate.h"
#include "App/AppIcon.h"
#include "App/AppWiring.h"
#include "App/MainMenu.h"
#include "App/MainMenuBar.h"
#include "App/SessionCheck.h"
#include "GlobalShortcuts/RecorderEnvironment.h"
#include "Platform/UnixSignals.h"

namespace TessikApp {

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Tessik");
    QApplication::setApplicationName("Tessik");
    QApplication::setApplicationDisplayName("Tessik");
    QApplication::setApplicationVersion(TESSIK_VERSION);
    QApplication::setWindowIcon(AppIcon::make());
    // Closing the settings or onboarding window never quits.
    QApplication::setQuitOnLastWindowClosed(
        AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    if (SessionCheck::isWaylandSession(QProcessEnvironment::systemEnvironment())) {
        QMessageBox box(QMessageBox::Warning, SessionCheck::waylandMessage(),
                        SessionCheck::waylandMessage(), QMessageBox::Ok);
        box.setInformativeText(SessionCheck::waylandInformativeText());
        box.exec();
        return 1;
    }

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
