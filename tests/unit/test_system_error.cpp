#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include "Base/SystemError.h"

namespace {

struct Case {
    int errnum;
    const char* french;
};

// The reasons a save, a settings write or a helper program most often fail with.
const Case commonCases[] = {
    {EACCES, "permission refusée"},
    {ENOENT, "le dossier n'existe pas"},
    {ENOSPC, "le disque est plein"},
    {EROFS, "le disque est en lecture seule"},
    {EISDIR, "un dossier porte déjà ce nom"},
    {ENOTEMPTY, "le dossier n'est pas vide"},
    {EFBIG, "le fichier est trop volumineux"},
    {EXDEV, "le fichier est sur un autre disque"},
    {EBUSY, "la ressource est occupée"},
    {EMFILE, "trop de fichiers ouverts par Tessik"},
    {ENFILE, "trop de fichiers ouverts sur le système"},
    {ENOMEM, "mémoire insuffisante"},
    {EINVAL, "argument non valide"},
    {ESTALE, "le partage réseau n'est plus disponible"},
    {EAGAIN, "la ressource est temporairement indisponible"},
    {EINTR, "l'opération a été interrompue"},
    {ETIMEDOUT, "le délai d'attente est dépassé"},
    {EOPNOTSUPP, "opération non prise en charge"},
    {ENODEV, "le périphérique n'est pas disponible"},
    {EPIPE, "la communication a été coupée"},
    {ECONNREFUSED, "connexion refusée"},
};

}  // namespace

TEST(SystemError, CommonErrorsReadInFrench) {
    for (const Case& c : commonCases)
        EXPECT_EQ(describeSystemError(c.errnum), QString::fromUtf8(c.french)) << c.errnum;
}

TEST(SystemError, NoNumberFallsBackToTheSystemsEnglishText) {
    // Every errno Linux defines, and numbers it does not: never strerror's English, and a
    // number without a text of its own is kept so it can be looked up.
    for (int errnum = 1; errnum <= 140; ++errnum) {
        const QString text = describeSystemError(errnum);
        EXPECT_NE(text, QString::fromLocal8Bit(std::strerror(errnum))) << errnum;
        EXPECT_FALSE(text.isEmpty()) << errnum;
    }
    EXPECT_EQ(describeSystemError(EHWPOISON),
              QString::fromUtf8("erreur système n° %1").arg(EHWPOISON));
    EXPECT_EQ(describeSystemError(9999), QString::fromUtf8("erreur système n° 9999"));
}
