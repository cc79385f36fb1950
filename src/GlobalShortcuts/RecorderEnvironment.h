#pragma once

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>

class QMenu;
class QWidget;

namespace GlobalShortcuts {

// One alert of the recorder: a warning with its message, optional informative text and buttons
// in order. The answer of the first button is 1000, of the second 1001.
struct RecorderAlert {
    QString message;
    QString informativeText;
    QStringList buttons;
};
inline constexpr int alertFirstButtonReturn = 1000;
inline constexpr int alertSecondButtonReturn = 1001;

// What the recorder asks of the application and the desktop. The module knows nothing else of
// the application, so these are installed once at start-up; tests replace them.
struct RecorderEnvironment {
    // The application's main menu as its top-level menus, in order; empty when it has none.
    std::function<QList<const QMenu*>()> mainMenu;
    // Whether this system refuses shortcuts whose only modifier is option (shift aside) for
    // this process. No Linux desktop does; the check stays in its place for platforms that do.
    std::function<bool()> disallowsOptionOnlyShortcuts;
    std::function<void()> beep;
    // Shows the alert and waits for its answer: window-modal on `window` with a nested event
    // loop, application-modal when there is no window.
    std::function<int(QWidget* window, const RecorderAlert& alert)> alert;
};

// Missing members keep their defaults: no main menu, no option restriction, the desktop's
// beep and a message box.
void setRecorderEnvironment(RecorderEnvironment environment);
const RecorderEnvironment& recorderEnvironment();

// The default alert: a warning message box.
int presentRecorderAlert(QWidget* window, const RecorderAlert& alert);

}  // namespace GlobalShortcuts
