#pragma once

#include <memory>
#include <optional>

#include <QObject>
#include <QString>

#include "Base/DefaultsStore.h"
#include "Export/ExportAction.h"
#include "Settings/LoginItems.h"
#include "Settings/SecurityScopedFolder.h"

// The user's settings: save folder, default action, launch at login. Read once at start-up,
// persisted on every change; each signal fires only when its value really changes. Holds the
// access to the save folder while it is in use. Main thread only.
class Preferences : public QObject {
    Q_OBJECT

public:
    // The process-wide store over the application's defaults and the login items installed by
    // `installSharedLoginItems` (none if nothing was installed before the first use).
    static Preferences& shared();
    static void installSharedLoginItems(std::shared_ptr<LoginItems> loginItems);

    // A store without a login-item service (launch at login reads as off and cannot be set).
    explicit Preferences(DefaultsStore& defaults, QObject* parent = nullptr);
    Preferences(DefaultsStore& defaults, std::shared_ptr<LoginItems> loginItems,
                std::shared_ptr<FolderAccess> folderAccess = FolderAccess::standard(),
                QObject* parent = nullptr);
    ~Preferences() override;

    // Absolute path of the folder saved captures go into.
    QString saveDirectory() const { return m_saveDirectory; }
    // Makes `path` the save folder, remembers it across launches and takes access to it.
    void setSaveDirectory(const QString& path);
    // Ends the access to the save folder (at termination).
    void releaseSaveDirectoryAccess();
    // Whether access to the save folder is held right now.
    bool isAccessingSaveDirectory() const {
        return m_scopedFolder && m_scopedFolder->isAccessing();
    }
    bool hasScopedFolder() const { return m_scopedFolder != nullptr; }

    ExportAction defaultAction() const { return m_defaultAction; }
    void setDefaultAction(ExportAction action);

    bool launchAtLogin() const { return m_launchAtLogin; }
    // Registers or unregisters the login item when the value disagrees with the desktop's.
    void setLaunchAtLogin(bool on);
    // The last failure of the login-item service, until the next success.
    std::optional<QString> launchAtLoginError() const { return m_launchAtLoginError; }
    // Re-reads the desktop's login-item status (when the settings window shows).
    void refreshLaunchAtLogin();
    LoginItems::Status loginItemStatus() const { return m_loginItems->status(); }

    // Whether the first-launch message was shown once already; remembered across launches.
    bool welcomeShown() const;
    void setWelcomeShown();

    // The XDG pictures folder (home + "Pictures" unless the user's settings say otherwise)
    // + "Tessik".
    static QString defaultSaveDirectory();

signals:
    void saveDirectoryChanged(const QString& path);
    void defaultActionChanged(ExportAction action);
    void launchAtLoginChanged(bool on);
    void launchAtLoginErrorChanged();

private:
    void loadSaveDirectory();
    void assignSaveDirectory(const QString& path);
    bool loginItemEnabled() const;
    void applyLaunchAtLogin();
    void setLaunchAtLoginError(std::optional<QString> error);

    DefaultsStore& m_defaults;
    std::shared_ptr<LoginItems> m_loginItems;
    std::shared_ptr<FolderAccess> m_folderAccess;
    std::unique_ptr<SecurityScopedFolder> m_scopedFolder;
    QString m_saveDirectory;
    ExportAction m_defaultAction = ExportAction::copy;
    std::optional<QString> m_launchAtLoginError;
    bool m_launchAtLogin = false;
};
