#pragma once

#include <functional>

#include <QString>

// The command a key binding in the desktop's own settings runs to start an area capture.
namespace DesktopCommand {

// "tessik --capture-area" when PATH finds this very program as tessik; otherwise the program's
// full path, quoted for the shell where it needs it, so the binding works wherever Tessik was
// installed. `findExecutable` is QStandardPaths::findExecutable by default.
QString captureArea(const QString& applicationPath,
                    const std::function<QString(const QString&)>& findExecutable = {});

}  // namespace DesktopCommand
