#include "App/MainMenuBar.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QWidget>

#include "App/MainMenu.h"

MainMenuBar::MainMenuBar(QList<QMenu*> menus, QObject* parent)
    : QObject(parent), m_menus(std::move(menus)) {
    qApp->installEventFilter(this);
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && takesMainMenu(*window)) window->addActions(actions());
}

MainMenuBar::~MainMenuBar() {
    if (qApp) qApp->removeEventFilter(this);
    qDeleteAll(m_menus);
}

QList<QAction*> MainMenuBar::actions() const {
    QList<QAction*> result;
    for (QMenu* menu : m_menus)
        for (QAction* action : menu->findChildren<QAction*>())
            if (!action->isSeparator() && !action->menu() && !action->objectName().isEmpty())
                result.append(action);
    return result;
}

QAction* MainMenuBar::action(const char* message) const {
    for (QMenu* menu : m_menus)
        if (QAction* found = MainMenu::action(*menu, message)) return found;
    return nullptr;
}

bool MainMenuBar::takesMainMenu(const QWidget& window) {
    if (!window.isWindow()) return false;
    const Qt::WindowFlags flags = window.windowFlags();
    const Qt::WindowType type = window.windowType();
    if (type != Qt::Window && type != Qt::Dialog) return false;
    return !(flags & (Qt::FramelessWindowHint | Qt::BypassWindowManagerHint));
}

bool MainMenuBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        // Adding an action a widget already has only moves it, so reshowing is harmless.
        if (takesMainMenu(*widget)) widget->addActions(actions());
    }
    return QObject::eventFilter(watched, event);
}
