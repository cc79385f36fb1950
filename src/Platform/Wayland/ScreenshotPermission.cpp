#include "Platform/Wayland/ScreenshotPermission.h"

#include <QDir>
#include <QFile>

namespace ScreenshotPermission {

namespace {
std::optional<Entry> readable(const QStringList& permissions) {
    if (permissions.size() != 1) return std::nullopt;
    if (permissions.constFirst() == QLatin1String("yes")) return Entry::yes;
    if (permissions.constFirst() == QLatin1String("no")) return Entry::no;
    return std::nullopt;
}

// The [portal] group of a .portal file: key -> value.
QMap<QString, QString> portalGroup(const QString& path) {
    QMap<QString, QString> group;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return group;
    bool inGroup = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String("[portal]");
        } else if (inGroup && line.contains(QLatin1Char('=')) &&
                   !line.startsWith(QLatin1Char('#'))) {
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            group.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
        }
    }
    return group;
}

QStringList listOf(const QString& value) {
    QStringList items;
    for (const QString& item : value.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        items << item.trimmed();
    return items;
}
}  // namespace

Entry entryFor(const Table& table, const QString& appId) {
    if (!appId.isEmpty())
        if (const auto own = readable(table.value(appId))) return *own;
    return readable(table.value(QString())).value_or(Entry::unset);
}

bool hasAccess(Entry entry, bool storeConsulted) {
    switch (entry) {
        case Entry::yes:
            return true;
        case Entry::no:
            return false;
        case Entry::unset:
            return !storeConsulted;
    }
    return false;
}

std::optional<QString> screenshotBackend(const QString& portalDirectory,
                                         const QStringList& desktops) {
    const QDir directory(portalDirectory);
    const QStringList files =
        directory.entryList({QStringLiteral("*.portal")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        const auto group = portalGroup(directory.filePath(name));
        const QString busName = group.value(QStringLiteral("DBusName"));
        const bool screenshots =
            listOf(group.value(QStringLiteral("Interfaces")))
                .contains(QStringLiteral("org.freedesktop.impl.portal.Screenshot"));
        if (busName.isEmpty() || !screenshots) continue;
        for (const QString& desktop : listOf(group.value(QStringLiteral("UseIn"))))
            if (desktops.contains(desktop, Qt::CaseInsensitive)) return busName;
    }
    return std::nullopt;
}

}  // namespace ScreenshotPermission
