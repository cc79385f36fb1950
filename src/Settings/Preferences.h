#pragma once

#include <QObject>
#include <QString>

#include "Base/DefaultsStore.h"
#include "Export/ExportAction.h"

// The user's settings: save folder, default action, launch at login. Read once at start-up,
// persisted on every change; observers are notified only when a value really changes.
// Main thread only.
class Preferences : public QObject {
    Q_OBJECT

public:
    // The process-wide store over the application's defaults.
    static Preferences& shared();

    explicit Preferences(DefaultsStore& defaults, QObject* parent = nullptr);
    ~Preferences() override;

    // Absolute path of the folder saved captures go into.
    QString saveDirectory() const { return m_saveDirectory; }
    ExportAction defaultAction() const { return m_defaultAction; }
    void setDefaultAction(ExportAction action);

    void setSaveDirectory(const QString& path);
    void releaseSaveDirectoryAccess();

    // home + "Pictures/Tessik" (the XDG pictures folder when the user's settings name one).
    static QString defaultSaveDirectory();

signals:
    void saveDirectoryChanged(const QString& path);
    void defaultActionChanged(ExportAction action);

private:
    DefaultsStore& m_defaults;
    QString m_saveDirectory;
    ExportAction m_defaultAction = ExportAction::copy;
};
