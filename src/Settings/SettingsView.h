#pragma once

#include <functional>
#include <optional>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "GlobalShortcuts/Name.h"
#include "Settings/DesktopShortcuts.h"

class Preferences;
class PathLabel;
class QLabel;
class QPushButton;
class SegmentedPicker;
class ShortcutRecorderRow;
class ToggleSwitch;

// The settings window's content: the branded header, then the form's three sections (shortcut,
// saving, general). Reads and writes the preferences store and follows its changes at once.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    // What the view asks of the desktop; tests replace them.
    struct Hooks {
        // Runs the folder chooser starting in `start`; the chosen folder, or none when cancelled.
        std::function<std::optional<QString>(QWidget* parent, const QString& start)> chooseFolder;
        // Opens the desktop's settings of applications started at login.
        std::function<void()> openLoginItemsSettings;
        // Where the desktop binds the global shortcuts itself (Wayland); none where Tessik
        // grabs the keys.
        QPointer<DesktopShortcuts> desktopShortcuts;
        // Opens a folder in the desktop's file manager (xdg-open).
        std::function<void(const QString& folder)> openFolder;
    };

    SettingsView(Preferences& preferences, const GlobalShortcuts::Name& shortcutName,
                 Hooks hooks = {}, QWidget* parent = nullptr);

    static QString chooserTitle();
    // Where the chooser starts: the save folder, or its nearest existing parent, else home.
    static QString chooserStart(const QString& saveDirectory);
    // The default chooser: a folder dialog titled and labelled for the save folder.
    static std::optional<QString> runFolderChooser(QWidget* parent, const QString& start);

    ShortcutRecorderRow* shortcutRow() const { return m_shortcutRow; }
    PathLabel* folderLabel() const { return m_folder; }
    QPushButton* chooseButton() const { return m_choose; }
    QPushButton* openButton() const { return m_open; }
    SegmentedPicker* actionPicker() const { return m_actionPicker; }
    ToggleSwitch* launchToggle() const { return m_launchToggle; }
    QWidget* approvalHint() const { return m_approvalHint; }
    QLabel* errorLabel() const { return m_error; }

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QWidget* makeForm();
    QWidget* shortcutSection();
    QWidget* savingSection();
    QWidget* generalSection();
    void chooseFolder();
    void openFolder();
    void showSaveDirectory();
    void showDefaultAction();
    void showLaunchAtLogin();

    Preferences& m_preferences;
    GlobalShortcuts::Name m_shortcutName;
    Hooks m_hooks;
    ShortcutRecorderRow* m_shortcutRow = nullptr;
    PathLabel* m_folder = nullptr;
    QPushButton* m_choose = nullptr;
    QPushButton* m_open = nullptr;
    SegmentedPicker* m_actionPicker = nullptr;
    ToggleSwitch* m_launchToggle = nullptr;
    QWidget* m_approvalHint = nullptr;
    QLabel* m_error = nullptr;
};
