#include "Capture/CaptureError.h"

#include "Base/Localization.h"

CaptureError CaptureError::from(const SystemError& error) {
    // The codes a platform capture service uses for "the user declined" and "not entitled".
    if (error.domain == QLatin1String(permissionDomain) &&
        (error.code == -3801 || error.code == -3803))
        return permissionDenied();
    if (error.domain == QLatin1String(cancelDomain)) return cancelled();
    return captureFailed(error.description);
}

QString CaptureError::description() const {
    switch (kind) {
        case Case::captureFailed:
            return localized("La capture a échoué : ") + underlying;
        case Case::permissionDenied:
            return localized("Tessik n'a pas l'autorisation d'enregistrer l'écran.");
        case Case::displayUnavailable:
            return localized("L'écran à capturer n'est plus disponible.");
        case Case::cancelled:
            return localized("La capture a été annulée.");
    }
    return {};
}
