#include "GlobalShortcuts/StringTable.h"

#include <optional>

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QStringList>

namespace GlobalShortcuts {

namespace {
const QString kBundle = QStringLiteral("/GlobalShortcuts.bundle/Localizable.json");

std::optional<QHash<QString, QString>>& table() {
    static std::optional<QHash<QString, QString>> loaded;
    return loaded;
}

QStringList searchPaths() {
    QStringList dirs = QStandardPaths::standardLocations(QStandardPaths::AppDataLocation);
    const QString exeDir = QCoreApplication::applicationDirPath();
    dirs << exeDir + QStringLiteral("/../share/tessik") << exeDir;
    return dirs;
}

QHash<QString, QString> load() {
    for (const QString& dir : searchPaths()) {
        QFile file(dir + kBundle);
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
        QHash<QString, QString> texts;
        for (auto it = object.begin(); it != object.end(); ++it)
            if (it.value().isString()) texts.insert(it.key(), it.value().toString());
        return texts;
    }
    return {};
}
}  // namespace

QString localizedString(const QString& key) {
    if (!table()) table() = load();
    return table()->value(key, key);
}

void setStringTable(QHash<QString, QString> texts) {
    if (texts.isEmpty())
        table().reset();
    else
        table() = std::move(texts);
}

}  // namespace GlobalShortcuts
