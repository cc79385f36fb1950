// A small program that uses the shortcut module exactly as tessik does (same name, same X11
// backend) and reports what happens on standard output, so end-to-end tests can see hot-key
// presses before anything visible reacts to them in tessik itself.
//
// Commands on standard input, one per line: "describe" prints the shortcut's display text,
// "menu" opens a popup menu, "menustate" tells whether it is still shown, "grab MASK" grabs the
// "2" key on the root with exactly that X modifier mask (as another program would) and prints
// "granted" or "refused", "quit".
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QMenu>
#include <QSocketNotifier>
#include <QTextStream>

#include <xcb/xcb.h>

#include "App/ShortcutNames.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/GlobalShortcutsPlatform.h"

namespace {
void say(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}
// One checked grab of the "2" key (X keycode 11) on the root.
bool grabTwo(quint16 mask) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_grab_key_checked(c, 1, root, mask, 11, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::free(error);
    return !error;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Tessik");
    QApplication::setApplicationName("Tessik");
    installGlobalShortcutsPlatform();

    // Passive: only a helper for "grab", holding no shortcut of its own.
    const bool passive = qEnvironmentVariableIsSet("HOTKEY_PROBE_PASSIVE");
    const GlobalShortcuts::Name name =
        passive ? GlobalShortcuts::Name() : ShortcutNames::captureArea();
    if (!passive) {
        GlobalShortcuts::onKeyDown(name, [] { say("keydown"); });
        GlobalShortcuts::onKeyUp(name, [] { say("keyup"); });
    }

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
        } else if (command.startsWith("grab ")) {
            say(grabTwo(command.mid(5).toUShort(nullptr, 0)) ? "granted" : "refused");
        } else if (command == "quit" || in.atEnd()) {
            app.quit();
        }
    });
    say("ready");
    return app.exec();
}
