#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include "Platform/Wayland/ShortcutsPortal.h"

// A GlobalShortcuts portal whose answers the test gives, one call at a time.
class FakeShortcutsPortal final : public ShortcutsPortal {
public:
    Events events;
    QStringList calls;
    std::function<void(bool)> pendingCheck;
    Answer<QString> pendingSession;
    Answer<QList<PortalShortcut>> pendingBind;
    QString boundSession;
    QList<PortalShortcut> boundShortcuts;
    QStringList closed;
    int sessions = 0;

    void setEvents(Events e) override { events = std::move(e); }
    void checkAvailable(std::function<void(bool)> done) override {
        calls << "check";
        pendingCheck = std::move(done);
    }
    void createSession(Answer<QString> done) override {
        calls << "create";
        pendingSession = std::move(done);
    }
    void bindShortcuts(const QString& session, const QList<PortalShortcut>& shortcuts,
                       Answer<QList<PortalShortcut>> done) override {
        calls << "bind";
        boundSession = session;
        boundShortcuts = shortcuts;
        pendingBind = std::move(done);
    }
    void closeSession(const QString& session) override {
        calls << "close";
        closed << session;
    }

    bool pending() const { return pendingCheck || pendingSession || pendingBind; }

    // Answers what is pending as a working desktop does: the portal is there, sessions are
    // made, and the trigger it reports is the preferred one written its own way. The session
    // whose bind it answered, or an empty text.
    QString grantPending() {
        // One answer at a time: an answer may start the next request at once.
        if (auto check = std::exchange(pendingCheck, {})) {
            check(true);
            return {};
        }
        if (auto create = std::exchange(pendingSession, {})) {
            create(
                QStringLiteral("/org/freedesktop/portal/desktop/session/1_1/s%1").arg(++sessions));
            return {};
        }
        auto bind = std::exchange(pendingBind, {});
        if (!bind) return {};
        QList<PortalShortcut> answer;
        for (const PortalShortcut& s : boundShortcuts)
            answer.append({s.id, s.description, QStringLiteral("Desk ") + s.trigger});
        bind(answer);
        return boundSession;
    }
};

// Runs the event loop until the condition holds or the time is up.
template <typename Condition>
bool spinUntil(Condition condition, int timeoutMs = 2000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Grants every request until a bind is answered; that bind's session, or empty when none came.
inline QString grantUntilBound(FakeShortcutsPortal& portal) {
    while (spinUntil([&] { return portal.pending(); }, 1000))
        if (const QString session = portal.grantPending(); !session.isEmpty()) return session;
    return {};
}
