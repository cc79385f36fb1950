#include "App/TessikApp.h"

#include <QApplication>

#include "App/AppDelegate.h"
#include "App/AppWiring.h"
#include "Platform/UnixSignals.h"

namespace TessikApp {

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Tessik");
    QApplication::setApplicationName("Tessik");
    QApplication::setApplicationDisplayName("Tessik");
    QApplication::setApplicationVersion(TESSIK_VERSION);
    // Closing the settings or onboarding window never quits.
    QApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    UnixSignals unixSignals;
    AppDelegate delegate(makeProductionServices());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });
    QMetaObject::invokeMethod(&delegate, [&delegate] { delegate.applicationDidFinishLaunching(); },
                              Qt::QueuedConnection);
    return app.exec();
}

}  // namespace TessikApp
