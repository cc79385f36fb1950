#include "Settings/Preferences.h"

#include <QDir>
#include <QStandardPaths>

namespace {
const QString kSaveDirectory = QStringLiteral("saveDirectory");
const QString kDefaultAction = QStringLiteral("defaultAction");
}  // namespace

Preferences& Preferences::shared() {
    static DefaultsStore store;
    static Preferences preferences(store);
    return preferences;
}

Preferences::Preferences(DefaultsStore& defaults, QObject* parent)
    : QObject(parent), m_defaults(defaults) {
    const auto path = m_defaults.string(kSaveDirectory);
    m_saveDirectory = (path && !path->isEmpty()) ? *path : defaultSaveDirectory();
    m_defaultAction =
        m_defaults.string(kDefaultAction) == QStringLiteral("save") ? ExportAction::save
                                                                    : ExportAction::copy;
}

Preferences::~Preferences() = default;

void Preferences::setDefaultAction(ExportAction action) {
    const bool changed = action != m_defaultAction;
    m_defaultAction = action;
    m_defaults.setString(kDefaultAction, rawValue(action));
    if (changed) emit defaultActionChanged(action);
}

void Preferences::setSaveDirectory(const QString& path) {
    m_defaults.setString(kSaveDirectory, path);
    if (path == m_saveDirectory) return;
    m_saveDirectory = path;
    emit saveDirectoryChanged(path);
}

void Preferences::releaseSaveDirectoryAccess() {}

QString Preferences::defaultSaveDirectory() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString base = pictures.isEmpty() ? QDir::home().filePath("Pictures") : pictures;
    return QDir(base).filePath("Tessik");
}
