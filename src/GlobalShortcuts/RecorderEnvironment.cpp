#include "GlobalShortcuts/RecorderEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace GlobalShortcuts {

namespace {
RecorderEnvironment withDefaults(RecorderEnvironment e) {
    if (!e.mainMenu) e.mainMenu = [] { return QList<const QMenu*>{}; };
    if (!e.disallowsOptionOnlyShortcuts) e.disallowsOptionOnlyShortcuts = [] { return false; };
    if (!e.beep) e.beep = [] { QApplication::beep(); };
    if (!e.alert) e.alert = &presentRecorderAlert;
    return e;
}

RecorderEnvironment& environment() {
    static RecorderEnvironment current = withDefaults({});
    return current;
}
}  // namespace

void setRecorderEnvironment(RecorderEnvironment e) {
    environment() = withDefaults(std::move(e));
}

const RecorderEnvironment& recorderEnvironment() {
    return environment();
}

int presentRecorderAlert(QWidget* window, const RecorderAlert& alert) {
    // On the heap: closing the window while the alert is up takes the box with it.
    QPointer<QMessageBox> box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QApplication::applicationDisplayName());
    box->setText(alert.message);
    box->setInformativeText(alert.informativeText);
    QList<QAbstractButton*> buttons;
    for (const QString& title : alert.buttons)
        buttons << box->addButton(
            title, buttons.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
    if (buttons.isEmpty()) buttons << box->addButton(QMessageBox::Ok);
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    // Escape (or closing the box) means the first answer, never the forcing one.
    box->setEscapeButton(buttons.first());

    int answer = alertFirstButtonReturn;
    QObject::connect(box, &QMessageBox::buttonClicked, box, [&answer, buttons](QAbstractButton* b) {
        answer = alertFirstButtonReturn + qMax(0, int(buttons.indexOf(b)));
    });
    if (!window) {
        box->exec();
        return answer;
    }
    box->setWindowModality(Qt::WindowModal);
    QEventLoop loop;
    QObject::connect(box, &QDialog::finished, &loop, &QEventLoop::quit);
    QObject::connect(box, &QObject::destroyed, &loop, &QEventLoop::quit);
    box->open();
    loop.exec();
    return answer;
}

}  // namespace GlobalShortcuts
