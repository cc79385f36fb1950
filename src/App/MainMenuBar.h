#pragma once

#include <memory>

#include <QList>
#include <QObject>

class QAction;
class QMenu;
class QWidget;

// Linux has no global menu bar: the main menu's actions are added to every ordinary Tessik window
// as it is shown, so their key equivalents work there. Frameless windows (overlays, toast) keep
// their own keyboard handling and get none. Lives for the whole run.
class MainMenuBar : public QObject {
    Q_OBJECT

public:
    // Takes the top-level menus, in order.
    explicit MainMenuBar(QList<QMenu*> menus, QObject* parent = nullptr);
    ~MainMenuBar() override;

    const QList<QMenu*>& menus() const { return m_menus; }
    // Every action that has something to do (no separators, no submenu items).
    QList<QAction*> actions() const;
    // The action named `message` in any of the menus, or null.
    QAction* action(const char* message) const;

    static bool takesMainMenu(const QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QMenu*> m_menus;
};
