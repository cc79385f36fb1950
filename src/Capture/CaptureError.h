#pragma once

#include <QString>

// The capture failures, each with its French description.
struct CaptureError {
    // `cancelled`: the user dismissed the desktop's own capture prompt; the capture ends silently.
    enum class Case { captureFailed, permissionDenied, displayUnavailable, cancelled };

    Case kind = Case::captureFailed;
    QString underlying;  // captureFailed only: the system error's description

    static CaptureError captureFailed(const QString& text) { return {Case::captureFailed, text}; }
    static CaptureError permissionDenied() { return {Case::permissionDenied, {}}; }
    static CaptureError displayUnavailable() { return {Case::displayUnavailable, {}}; }
    static CaptureError cancelled() { return {Case::cancelled, {}}; }

    // A system error (its origin, code and description) as a capture error. Only a refusal of
    // the capture service's own permission is permissionDenied; X11 has no such refusal, so
    // the origin that carries it is never produced on this platform.
    struct SystemError {
        QString domain;
        int code = 0;
        QString description;
    };
    static constexpr const char* permissionDomain = "ScreenCapturePermission";
    // The user's own cancellation of a capture the desktop asked about.
    static constexpr const char* cancelDomain = "ScreenCaptureCancel";
    static CaptureError from(const SystemError& error);

    QString description() const;
    bool operator==(const CaptureError&) const = default;
};
