#pragma once

#include <memory>

#include <QString>

class QLockFile;

// One Tessik per X display: a second one would fight the first for the global shortcut and show
// a second tray icon. A relaunching instance waits a moment for the one it replaces to end.
class SingleInstance {
public:
    // `display` is the X display name; the lock lives in the user's runtime directory.
    explicit SingleInstance(const QString& display);
    ~SingleInstance();

    // Takes the lock, waiting up to `waitMs` for a running instance to quit.
    bool acquire(int waitMs);

    static QString alreadyRunningMessage();
    static QString alreadyRunningInformativeText();

private:
    std::unique_ptr<QLockFile> m_lock;
};
