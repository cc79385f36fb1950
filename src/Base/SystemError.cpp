#include "Base/SystemError.h"

#include <cerrno>
#include <cstring>

#include "Base/Localization.h"

QString describeSystemError(int errnum) {
    switch (errnum) {
        case EACCES:
        case EPERM:
            return localized("permission refusée");
        case ENOENT:
            return localized("le dossier n'existe pas");
        case ENOTDIR:
        case EEXIST:
            return localized("un fichier porte déjà ce nom");
        case ENOSPC:
            return localized("le disque est plein");
        case EDQUOT:
            return localized("le quota de disque est dépassé");
        case EROFS:
            return localized("le disque est en lecture seule");
        case EIO:
            return localized("erreur d'entrée-sortie");
        case ENAMETOOLONG:
            return localized("le chemin est trop long");
        case ELOOP:
            return localized("trop de liens symboliques");
        default:
            return QString::fromLocal8Bit(std::strerror(errnum));
    }
}
