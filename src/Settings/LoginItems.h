#pragma once

#include <expected>

#include <QString>

// Why registering or unregistering the login item failed; the description is shown under the
// launch-at-login toggle.
struct LoginItemError {
    QString message;
    QString description() const { return message; }
};

// The desktop's record of applications opened at login.
class LoginItems {
public:
    // Only `enabled` counts as on.
    enum class Status { notRegistered, enabled, requiresApproval, notFound };

    virtual ~LoginItems() = default;
    virtual Status status() const = 0;
    virtual std::expected<void, LoginItemError> registerApp() = 0;
    virtual std::expected<void, LoginItemError> unregisterApp() = 0;
};
