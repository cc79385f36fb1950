#pragma once

#include <optional>

#include <QObject>
#include <QString>

// What the desktop says about Tessik's global shortcuts where the desktop, not Tessik, binds the
// keys (Wayland): through its shortcuts portal, which reports the trigger it chose, or only in
// its own settings, where the user binds a command. Without one (X11) Tessik grabs the keys.
class DesktopShortcuts : public QObject {
    Q_OBJECT

public:
    enum class Binding {
        // The desktop binds what Tessik asks for and reports the trigger it chose.
        portal,
        // The desktop offers no portal: the user binds a command in its settings.
        desktopSettings,
    };

    using QObject::QObject;

    // The shortcut names the desktop is to bind, with the text it shows for each.
    virtual void describe(const QString& name, const QString& description) = 0;
    virtual Binding binding() const = 0;
    // The trigger the desktop reports for a shortcut name ("Ctrl+Shift+2"), once it has said.
    virtual std::optional<QString> triggerDescription(const QString& name) const = 0;

signals:
    void changed();
};
