#pragma once

#include <functional>

#include <QStringList>

#include "Capture/PermissionService.h"

// X11 has no screen-recording permission: access is always granted and there is no settings
// page. The relaunch is real: a new instance of this executable, then a normal quit.
class DesktopPermissionService : public PermissionService {
public:
    // Starts a program detached; the default uses QProcess::startDetached.
    using Starter = std::function<bool(const QString& program, const QStringList& arguments)>;

    // `quit` ends the application through its normal path; the default is QCoreApplication::quit.
    explicit DesktopPermissionService(Starter starter = {}, std::function<void()> quit = {});

    bool hasAccess() const override { return true; }
    bool requestAccess() override { return true; }
    void openSystemSettings() override {}
    void relaunch() override;

private:
    Starter m_starter;
    std::function<void()> m_quit;
};
