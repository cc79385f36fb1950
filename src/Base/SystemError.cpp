#include "Base/SystemError.h"

#include <cerrno>

#include "Base/Localization.h"

namespace {

// The reasons a user may meet when Tessik reads or writes a file, a folder or a settings
// file, or talks to another program.
const char* frenchReason(int errnum) {
    switch (errnum) {
        case EACCES:
        case EPERM:
            return "permission refusée";
        case ENOENT:
            return "le dossier n'existe pas";
        case ENOTDIR:
        case EEXIST:
            return "un fichier porte déjà ce nom";
        case EISDIR:
            return "un dossier porte déjà ce nom";
        case ENOTEMPTY:
            return "le dossier n'est pas vide";
        case ENOSPC:
            return "le disque est plein";
        case EDQUOT:
            return "le quota de disque est dépassé";
        case EFBIG:
            return "le fichier est trop volumineux";
        case EROFS:
            return "le disque est en lecture seule";
        case EIO:
            return "erreur d'entrée-sortie";
        case ENAMETOOLONG:
            return "le chemin est trop long";
        case ELOOP:
            return "trop de liens symboliques";
        case EMLINK:
            return "trop de liens vers ce fichier";
        case EXDEV:
            return "le fichier est sur un autre disque";
        case EBUSY:
            return "la ressource est occupée";
        case ETXTBSY:
            return "le fichier est en cours d'utilisation";
        case EMFILE:
            return "trop de fichiers ouverts par Tessik";
        case ENFILE:
            return "trop de fichiers ouverts sur le système";
        case ENOMEM:
            return "mémoire insuffisante";
        case ENOBUFS:
            return "mémoire tampon insuffisante";
        case EINVAL:
            return "argument non valide";
        case EBADF:
            return "descripteur de fichier non valide";
        case EFAULT:
            return "adresse non valide";
        case ENXIO:
        case ENODEV:
            return "le périphérique n'est pas disponible";
        case ESTALE:
            return "le partage réseau n'est plus disponible";
        case EAGAIN:
            return "la ressource est temporairement indisponible";
        case EINTR:
            return "l'opération a été interrompue";
        case ECANCELED:
            return "l'opération a été annulée";
        case ETIMEDOUT:
            return "le délai d'attente est dépassé";
        case EOPNOTSUPP:
            return "opération non prise en charge";
        case ENOSYS:
            return "fonction non disponible sur ce système";
        case ENOLCK:
            return "aucun verrou disponible";
        case EOVERFLOW:
            return "valeur trop grande";
        case ESPIPE:
            return "déplacement impossible dans ce fichier";
        case EPIPE:
            return "la communication a été coupée";
        case ENOTCONN:
            return "non connecté";
        case ECONNREFUSED:
            return "connexion refusée";
        case ECONNRESET:
            return "la connexion a été réinitialisée";
        case ENETDOWN:
        case ENETUNREACH:
            return "le réseau est inaccessible";
        case EHOSTUNREACH:
            return "la machine distante est inaccessible";
        case ENOEXEC:
            return "le programme n'est pas exécutable";
        case E2BIG:
            return "la liste d'arguments est trop longue";
        case ECHILD:
            return "aucun processus enfant";
        case ESRCH:
            return "aucun processus de ce type";
        case ERANGE:
            return "résultat hors limites";
        case EDEADLK:
            return "interblocage évité";
        case EILSEQ:
            return "séquence d'octets non valide";
        default:
            return nullptr;
    }
}

}  // namespace

QString describeSystemError(int errnum) {
    if (const char* reason = frenchReason(errnum)) return localized(reason);
    // Never the system's English text inside a French sentence; the number lets a user look
    // it up.
    return localized("erreur système n° %1").arg(errnum);
}
