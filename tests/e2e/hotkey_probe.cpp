// A small program that uses the shortcut module exactly as tessik does (same name, same X11
// backend) and reports what happens on standard output, so end-to-end tests can see hot-key
// presses before anything visible reacts to them in tessik itself.
//
// Commands on standard input, one per line: "describe" prints the shortcut's display text,
// "menu" opens a popup menu, "menustate" tells whether it is still shown, "quit".
#include <cstdio>

#include <QApplication>
#include <QMenu>
#include <QSocketNotifier>
#include <QTextStream>

#include "App/ShortcutNames.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/GlobalShortcutsPlatform.h"

namespace {
void say(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Tessik");
    QApplication::setApplicationName("Tessik");
    installGlobalShortcutsPlatform();

    const GlobalShortcuts::Name& name = ShortcutNames::captureArea();
    GlobalShortcuts::onKeyDown(name, [] { say("keydown"); });
    GlobalShortcuts::onKeyUp(name, [] { say("keyup"); });

    QMenu menu;
    menu.addAction("Capture zone");
    menu.addAction("Quitter");

    QSocketNotifier input(fileno(stdin), QSocketNotifier::Read);
    QTextStream in(stdin);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        const QString command = in.readLine().trimmed();
        if (command == "describe") {
            const auto shortcut = GlobalShortcuts::getShortcut(name);
            say("description " + (shortcut ? shortcut->presentableDescription() : QString("none")));
        } else if (command == "menu") {
            menu.popup(QPoint(100, 100));
            say("menu shown");
        } else if (command == "menustate") {
            say(menu.isVisible() ? "menu visible" : "menu hidden");
        } else if (command == "quit" || in.atEnd()) {
            app.quit();
        }
    });
    say("ready");
    return app.exec();
}
