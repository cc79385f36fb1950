#include "App/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include "Base/Localization.h"

SingleInstance::SingleInstance(const QString& display) {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    QString name = display;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    m_lock = std::make_unique<QLockFile>(QDir(dir).filePath("tessik-" + name + ".lock"));
    // A lock left by a crashed instance is recognised by its dead pid; never by age alone.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire(int waitMs) { return m_lock->tryLock(waitMs); }

QString SingleInstance::alreadyRunningMessage() { return localized("Tessik est déjà lancé"); }

QString SingleInstance::alreadyRunningInformativeText() {
    return localized(
        "Tessik fonctionne déjà : utilisez son icône dans la zone de notification ou son "
        "raccourci clavier pour capturer l'écran.");
}
