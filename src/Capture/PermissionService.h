#pragma once

// The screen-recording permission: query, request, the system settings page and the relaunch
// that makes a grant take effect.
class PermissionService {
public:
    virtual ~PermissionService() = default;
    virtual bool hasAccess() const = 0;
    virtual bool requestAccess() = 0;
    virtual void openSystemSettings() = 0;
    // Starts a new instance, then quits this one through the normal path, whatever the outcome.
    virtual void relaunch() = 0;
};
