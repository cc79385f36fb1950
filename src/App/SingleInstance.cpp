#include "App/SingleInstance.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include "App/AppBusService.h"
#include "Base/ApplicationId.h"
#include "Base/Localization.h"

namespace {

const char* methodOf(AppCommand command) {
    switch (command) {
        case AppCommand::captureArea:
            return "CaptureArea";
        case AppCommand::captureScreen:
            return "CaptureScreen";
        case AppCommand::showSettings:
            return "ShowSettings";
        case AppCommand::quit:
            return "Quit";
        case AppCommand::none:
            break;
    }
    return nullptr;
}

// Errors meaning that no instance answers there (any more): the caller may take its place.
bool meansNoInstance(const QString& errorName) {
    return errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           errorName == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownObject");
}

// An instance finishing a command of its own answers at once; this only bounds a stuck one.
constexpr int callTimeoutMs = 10000;
constexpr int retryMs = 100;

}  // namespace

SingleInstance::SingleInstance(const QString& display)
    : m_service(std::make_unique<AppBusService>()) {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    QString name = display;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    m_lock = std::make_unique<QLockFile>(QDir(dir).filePath("tessik-" + name + ".lock"));
    // A lock left by a crashed instance is recognised by its dead pid; never by age alone.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Outcome SingleInstance::acquire(AppCommand command, int waitMs) {
    const Outcome outcome = settle(command, waitMs);
    // Released while the application still exists: this process leaves at once.
    if (outcome != Outcome::primary) stopServing();
    return outcome;
}

SingleInstance::Outcome SingleInstance::settle(AppCommand command, int waitMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return acquireWithoutBus(command, waitMs);
    // Exported before the name is taken: whoever finds the name finds the object.
    new AppBusAdaptor(m_service.get());
    bus.registerObject(ApplicationId::objectPath, m_service.get(), QDBusConnection::ExportAdaptors);
    const QDeadlineTimer deadline(waitMs);
    while (true) {
        if (command == AppCommand::quit &&
            !bus.interface()->isServiceRegistered(QString::fromLatin1(ApplicationId::name)))
            return Outcome::notRunning;
        if (takeName(bus)) {
            if (m_lock->tryLock(int(deadline.remainingTime()))) {
                return becomePrimary(command);
            }
            // An instance without a bus runs on this display.
            bus.interface()->unregisterService(QString::fromLatin1(ApplicationId::name));
            if (command == AppCommand::none) return Outcome::alreadyRunning;
            m_failure = localized(
                "Tessik est déjà lancé sur cet écran sans bus de session : il "
                "ne peut pas recevoir de commande.");
            return Outcome::unreachable;
        }
        if (command != AppCommand::none) {
            const Delivery delivery = deliver(bus, command, &m_failure);
            if (delivery == Delivery::delivered) return Outcome::delivered;
            if (delivery == Delivery::failed) return Outcome::unreachable;
        }
        if (deadline.hasExpired()) {
            if (command == AppCommand::none) return Outcome::alreadyRunning;
            m_failure = localized("Tessik est en train de quitter ; réessayez dans un instant.");
            return Outcome::unreachable;
        }
        QThread::msleep(retryMs);
    }
}

SingleInstance::Outcome SingleInstance::acquireWithoutBus(AppCommand command, int waitMs) {
    if (m_lock->tryLock(command == AppCommand::none ? waitMs : 0)) {
        if (command != AppCommand::quit) return becomePrimary(command);
        m_lock->unlock();
        return Outcome::notRunning;
    }
    if (command == AppCommand::none) return Outcome::alreadyRunning;
    m_failure = localized(
        "Tessik est déjà lancé, mais sans bus de session D-Bus il ne peut pas "
        "recevoir de commande.");
    return Outcome::unreachable;
}

bool SingleInstance::takeName(QDBusConnection& bus) {
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(QString::fromLatin1(ApplicationId::name),
                                         QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

SingleInstance::Delivery SingleInstance::deliver(QDBusConnection& bus, AppCommand command,
                                                 QString* failure) {
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(ApplicationId::name), QString::fromLatin1(ApplicationId::objectPath),
        QString::fromLatin1(ApplicationId::interface), QString::fromLatin1(methodOf(command)));
    const QDBusMessage reply = bus.call(call, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return Delivery::delivered;
    if (meansNoInstance(reply.errorName())) return Delivery::noInstance;
    *failure =
        localized("Tessik est déjà lancé, mais ne répond pas : %1").arg(reply.errorMessage());
    return Delivery::failed;
}

bool SingleInstance::deliverToRunning(int& argc, char** argv, AppCommand command) {
    if (command == AppCommand::none) return false;
    // The bus alone: a display connection and Tessik's own set-up would only delay the command.
    // A connection of its own, closed here: the shared one belongs to the application to come.
    QCoreApplication core(argc, argv);
    const QString name = QStringLiteral("tessik-command");
    bool delivered = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        QString failure;
        delivered =
            bus.isConnected() &&
            bus.interface()->isServiceRegistered(QString::fromLatin1(ApplicationId::name)) &&
            deliver(bus, command, &failure) == Delivery::delivered;
    }
    QDBusConnection::disconnectFromBus(name);
    return delivered;
}

SingleInstance::Outcome SingleInstance::becomePrimary(AppCommand command) {
    if (command != AppCommand::none) m_service->receive(command);
    return Outcome::primary;
}

void SingleInstance::serve(std::function<void(AppCommand)> handler) {
    if (m_service) m_service->serve(std::move(handler));
}

void SingleInstance::stopServing() {
    if (!m_service) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) bus.unregisterObject(QString::fromLatin1(ApplicationId::objectPath));
    m_service.reset();
}

QString SingleInstance::alreadyRunningMessage() {
    return localized("Tessik est déjà lancé");
}

QString SingleInstance::alreadyRunningInformativeText(const std::optional<QString>& shortcut) {
    if (!shortcut)
        return localized(
            "Tessik fonctionne déjà : utilisez son icône dans la zone de notification pour "
            "capturer l'écran.");
    return localized(
               "Tessik fonctionne déjà : appuyez sur %1 pour capturer une zone de l'écran, ou "
               "utilisez son icône dans la zone de notification.")
        .arg(*shortcut);
}
