#pragma once

#include <expected>
#include <functional>

#include <QList>
#include <QString>

// One shortcut as the GlobalShortcuts portal takes or reports it: asking, `trigger` is the
// preferred trigger (empty: none); in answers, the trigger the desktop describes.
struct PortalShortcut {
    QString id;
    QString description;
    QString trigger;
    friend bool operator==(const PortalShortcut&, const PortalShortcut&) = default;
};

// The desktop's GlobalShortcuts portal, as the hot-key backend uses it; a fake in tests.
// Failures carry the portal's response code (2 for a bus error or no answer in time).
class ShortcutsPortal {
public:
    struct Events {
        std::function<void(const QString& session, const QString& id, bool pressed)> activation;
        std::function<void(const QString& session, const QList<PortalShortcut>&)> changed;
        std::function<void(const QString& session)> sessionClosed;
    };
    template <typename T>
    using Answer = std::function<void(std::expected<T, int>)>;

    virtual ~ShortcutsPortal() = default;
    virtual void setEvents(Events events) = 0;
    // Whether the desktop offers the portal at all.
    virtual void checkAvailable(std::function<void(bool)> done) = 0;
    // The new session's handle.
    virtual void createSession(Answer<QString> done) = 0;
    // What the desktop bound, with its trigger descriptions.
    virtual void bindShortcuts(const QString& session, const QList<PortalShortcut>& shortcuts,
                               Answer<QList<PortalShortcut>> done) = 0;
    virtual void closeSession(const QString& session) = 0;
};
