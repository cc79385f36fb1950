#include "Platform/Wayland/PermissionStoreBus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>

namespace PermissionStoreBus {

namespace {
const QString kStore = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString kStorePath = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");
const QString kNotFound = QStringLiteral("org.freedesktop.portal.Error.NotFound");
}  // namespace

std::optional<ScreenshotPermission::Table> lookUpScreenshots(QDBusConnection bus, int timeoutMs) {
    QDBusMessage lookup =
        QDBusMessage::createMethodCall(kStore, kStorePath, kStore, QStringLiteral("Lookup"));
    lookup << QStringLiteral("screenshot") << QStringLiteral("screenshot");
    const QDBusMessage reply = bus.call(lookup, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == kNotFound)
        return ScreenshotPermission::Table{};
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QVariant permissions = reply.arguments().constFirst();
    if (permissions.userType() != qMetaTypeId<QDBusArgument>()) return std::nullopt;
    const auto argument = permissions.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a{sas}")) return std::nullopt;
    ScreenshotPermission::Table table;
    argument >> table;
    return table;
}

std::optional<uint> screenshotVersion(QDBusConnection bus, const QString& backend, int timeoutMs) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        backend, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.impl.portal.Screenshot") << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QVariant version = reply.arguments().constFirst().value<QDBusVariant>().variant();
    if (version.typeId() != QMetaType::UInt) return std::nullopt;
    return version.toUInt();
}

}  // namespace PermissionStoreBus
