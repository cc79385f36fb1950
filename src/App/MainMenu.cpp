#include "App/MainMenu.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "App/MainMenuBar.h"
#include "Base/Localization.h"

namespace {

QAction* addItem(QMenu& menu, const QString& title, const char* message, QKeySequence keys = {}) {
    QAction* item = menu.addAction(title);
    item->setObjectName(QString::fromLatin1(message));
    item->setShortcut(keys);
    return item;
}

void showAboutBox() {
    // One box at a time; a second request brings the open one forward.
    static QPointer<QMessageBox> box;
    if (!box) {
        box = new QMessageBox(QMessageBox::NoIcon, localized("À propos de Tessik"),
                              QStringLiteral("<p style='font-size:15px; font-weight:600'>Tessik</p>"
                                             "<p>%1 %2</p>")
                                  .arg(localized("Version"), qApp->applicationVersion()),
                              QMessageBox::Ok);
        box->setInformativeText(
            localized("Capturez une zone de l'écran, annotez-la, partagez-la."));
        box->setIconPixmap(qApp->windowIcon().pixmap(64, 64));
        // Room for the tagline on one line.
        box->setStyleSheet(
            QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 360px; }"));
        box->setAttribute(Qt::WA_DeleteOnClose);
    }
    box->show();
    box->raise();
    box->activateWindow();
}

// Hides Tessik's ordinary windows (settings, onboarding, about); they come back when Tessik
// shows them again. Overlays and the toast run their own course and are left alone.
void hideApplication() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && MainMenuBar::takesMainMenu(*window)) window->hide();
}

void addEditItem(QMenu& menu, const QString& title, const char* message, QKeySequence keys = {}) {
    QAction* item = addItem(menu, title, message, keys);
    QObject::connect(item, &QAction::triggered, item,
                     [message] { MainMenu::sendToFocusedWidget(message); });
}

bool sendDelete(QWidget* widget) {
    // Text widgets delete the selection on the Delete key; no menu item holds that key, so the
    // synthetic press cannot come back here.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
    return press.isAccepted();
}

}  // namespace

namespace MainMenu {

std::unique_ptr<QMenu> makeApplicationMenuItem() {
    auto menu = std::make_unique<QMenu>();
    QObject::connect(
        addItem(*menu, localized("À propos de Tessik"), "orderFrontStandardAboutPanel"),
        &QAction::triggered, &showAboutBox);
    menu->addSeparator();
    // Answered by the application controller, which connects to it.
    addItem(*menu, localized("Réglages…"), "showPreferences",
            QKeySequence(Qt::CTRL | Qt::Key_Comma));
    menu->addSeparator();
    // Linux offers no services; the empty menu is kept so the menu reads the same everywhere.
    QMenu* services = menu->addMenu(localized("Services"));
    services->setObjectName(QStringLiteral("services"));
    menu->addSeparator();
    QObject::connect(
        addItem(*menu, localized("Masquer Tessik"), "hide", QKeySequence(Qt::CTRL | Qt::Key_H)),
        &QAction::triggered, &hideApplication);
    // No desktop lets one application hide the others: the item does nothing.
    addItem(*menu, localized("Masquer les autres"), "hideOtherApplications",
            QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_H));
    menu->addSeparator();
    QAction* quit = addItem(*menu, localized("Quitter Tessik"), "terminate",
                            QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);
    return menu;
}

std::unique_ptr<QMenu> makeEditMenuItem() {
    auto menu = std::make_unique<QMenu>(localized("Édition"));
    addEditItem(*menu, localized("Annuler"), "undo", QKeySequence(Qt::CTRL | Qt::Key_Z));
    addEditItem(*menu, localized("Rétablir"), "redo",
                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    menu->addSeparator();
    addEditItem(*menu, localized("Couper"), "cut", QKeySequence(Qt::CTRL | Qt::Key_X));
    addEditItem(*menu, localized("Copier"), "copy", QKeySequence(Qt::CTRL | Qt::Key_C));
    addEditItem(*menu, localized("Coller"), "paste", QKeySequence(Qt::CTRL | Qt::Key_V));
    addEditItem(*menu, localized("Supprimer"), "delete");
    addEditItem(*menu, localized("Tout sélectionner"), "selectAll",
                QKeySequence(Qt::CTRL | Qt::Key_A));
    return menu;
}

QAction* action(const QMenu& menu, const char* message) {
    return menu.findChild<QAction*>(QString::fromLatin1(message));
}

bool sendToFocusedWidget(const char* message) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return false;
    if (qstrcmp(message, "delete") == 0) return sendDelete(focus);
    const QByteArray signature = QByteArray(message) + "()";
    for (QWidget* w = focus; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        if (w->metaObject()->indexOfMethod(signature.constData()) < 0) continue;
        return QMetaObject::invokeMethod(w, message, Qt::DirectConnection);
    }
    return false;
}

}  // namespace MainMenu
