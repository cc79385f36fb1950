#pragma once

#include <QDBusConnection>
#include <QObject>

#include "UI/ToastPresenting.h"

// The confirmation as a desktop notification (org.freedesktop.Notifications), where a window
// cannot be placed on a display without taking the keyboard focus (Wayland). The desktop chooses
// where it shows; a newer confirmation replaces the one still shown. Without a notification
// server nothing is shown: the export itself has succeeded.
class NotificationToast : public QObject, public ToastPresenting {
    Q_OBJECT

public:
    explicit NotificationToast(QDBusConnection bus = QDBusConnection::sessionBus(),
                               QObject* parent = nullptr);

    void show(const QString& message, const ScreenDescriptor& screen) override;
    void showOnMainDisplay(const QString& message) override;

    // The panel's fade-in, stay and fade-out, in milliseconds.
    static constexpr int expireTimeoutMs = 1750;
    // The first-launch message, a sentence to read.
    static constexpr int mainDisplayTimeoutMs = 6000;

private:
    void notify(const QString& message, int timeoutMs);

    QDBusConnection m_bus;
    uint m_lastId = 0;
};
