#pragma once

#include <optional>

#include <QString>
#include <QWidget>

#include "GlobalShortcuts/Name.h"
#include "GlobalShortcuts/Notifications.h"
#include "GlobalShortcuts/Shortcut.h"

class DesktopShortcuts;
class QLabel;
class QPushButton;
class RecorderField;

// The settings row of one named global shortcut: its title, "Par défaut" while the shortcut
// differs from the default, the recorder field, "Modifier" to start recording, and a status line
// saying what the user can do. Follows the shortcut module's two notifications. Where the desktop
// binds the keys (`desktop`), the field shows the trigger it reports; where it offers only its
// own settings, recording is off and the status line gives the command to bind there, with a
// button that copies it.
class ShortcutRecorderRow : public QWidget {
    Q_OBJECT

public:
    ShortcutRecorderRow(const QString& title, const GlobalShortcuts::Name& name,
                        QWidget* parent = nullptr, DesktopShortcuts* desktop = nullptr,
                        QString command = {});
    ~ShortcutRecorderRow() override;

    QString title() const { return m_title; }
    const GlobalShortcuts::Name& name() const { return m_name; }
    bool isRecording() const { return m_isRecording; }
    std::optional<GlobalShortcuts::Shortcut> shortcut() const { return m_shortcut; }
    int focusRequests() const { return m_focusRequests; }

    QPushButton* resetButton() const { return m_resetButton; }
    QPushButton* editButton() const { return m_editButton; }
    QLabel* statusLabel() const { return m_status; }
    QPushButton* copyButton() const { return m_copyButton; }
    RecorderField* recorderField() const { return m_field; }

    static QString statusText(bool isRecording, bool hasShortcut);
    static QString desktopBindingText(const QString& command);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void requestFocus();
    void refreshShortcut();
    void setRecording(bool recording);
    void render();
    bool desktopBindsCommands() const;

    QString m_title;
    GlobalShortcuts::Name m_name;
    bool m_isRecording = false;
    std::optional<GlobalShortcuts::Shortcut> m_shortcut;
    int m_focusRequests = 0;
    DesktopShortcuts* m_desktop = nullptr;
    QString m_command;

    GlobalShortcuts::Notifications::Token m_recorderActive = 0;
    GlobalShortcuts::Notifications::Token m_shortcutChanged = 0;
    QPushButton* m_resetButton = nullptr;
    RecorderField* m_field = nullptr;
    QPushButton* m_editButton = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_copyButton = nullptr;
};
