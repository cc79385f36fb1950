#include "App/SessionCheck.h"

#include "Base/Localization.h"

namespace SessionCheck {

bool isWaylandSession(const QProcessEnvironment& environment) {
    return environment.value("XDG_SESSION_TYPE").compare("wayland", Qt::CaseInsensitive) == 0 ||
           !environment.value("WAYLAND_DISPLAY").isEmpty();
}

QString waylandMessage() { return localized("Session Wayland non prise en charge"); }

QString waylandInformativeText() {
    return localized(
        "Cette version de Tessik a besoin d'une session X11 pour capturer l'écran. Ouvrez une "
        "session « GNOME sur Xorg » (ou une autre session X11), puis relancez Tessik.");
}

}  // namespace SessionCheck
