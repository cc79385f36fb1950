#pragma once

#include <optional>

#include "Settings/LoginItems.h"

// A login-item service whose status and answers the test sets; counts the calls.
class FakeLoginItems final : public LoginItems {
public:
    Status current = Status::notRegistered;
    // When set, register/unregister fail with this message and leave `current` alone.
    std::optional<QString> failWith;
    int registerCalls = 0;
    int unregisterCalls = 0;

    Status status() const override { return current; }
    std::expected<void, LoginItemError> registerApp() override {
        ++registerCalls;
        if (failWith) return std::unexpected(LoginItemError{*failWith});
        current = Status::enabled;
        return {};
    }
    std::expected<void, LoginItemError> unregisterApp() override {
        ++unregisterCalls;
        if (failWith) return std::unexpected(LoginItemError{*failWith});
        current = Status::notRegistered;
        return {};
    }
};
