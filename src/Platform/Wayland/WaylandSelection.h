#pragma once

#include <functional>
#include <memory>

#include <QByteArray>
#include <QString>
#include <QStringList>

// The clipboard (the seat's selection) offered on Tessik's own Wayland connection with the
// serial of the keyboard's entry into one of Tessik's surfaces. Qt 6.4 sends its selection with
// the serial of the last key press or button click it saw, and a full-screen capture started
// from a command or a panel menu has none: compositors that check the serial (wlroots: sway and
// the like) refuse that request. Its objects live in an event queue of their own on Qt's
// connection: Qt's reader reads their events too, and they are dispatched on the main thread
// whenever its event loop is about to wait; a paste's bytes are written by a worker thread.
class WaylandSelection {
public:
    // Bytes of one offered type; runs on a worker thread.
    using Bytes = std::function<QByteArray(const QString& mimeType)>;

    // Null where Qt has no Wayland connection, or the compositor offers no seat or clipboard.
    // Main thread, early: the keyboard's entry is seen only from then on.
    static std::unique_ptr<WaylandSelection> forApplication();
    ~WaylandSelection();

    // Takes the selection with `types` while one of Tessik's surfaces has the keyboard; false
    // when none has it. Main thread.
    bool offer(const QStringList& types, Bytes bytes);

    struct Connection;

private:
    explicit WaylandSelection(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> m_connection;
};
