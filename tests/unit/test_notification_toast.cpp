#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QTest>

#include "Base/ApplicationId.h"
#include "UI/NotificationToast.h"
#include "support/PrivateBus.h"

namespace {

// A notification server that keeps every Notify call and answers with ids counting from 40.
class NotificationServer : public QDBusVirtualObject {
public:
    QList<QVariantList> calls;

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("Notify")) return false;
        QVariantList arguments = message.arguments();
        arguments[6] = qdbus_cast<QVariantMap>(arguments.value(6));
        calls.append(arguments);
        const uint replaces = arguments.value(1).toUInt();
        connection.send(message.createReply(replaces ? replaces : 40 + uint(calls.size())));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

ScreenDescriptor someScreen() {
    return {7, Rect(0, 0, 1280, 720), 1};
}

TEST(NotificationToast, SendsTheConfirmationAsATransientNotificationThatTheNextReplaces) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QDBusConnection serverSide = bus.connect("server");
    NotificationServer server;
    ASSERT_TRUE(serverSide.registerVirtualObject("/org/freedesktop/Notifications", &server));
    ASSERT_TRUE(serverSide.registerService("org.freedesktop.Notifications"));

    NotificationToast toast(bus.connect("tessik"));
    toast.show("Copié dans le presse-papiers", someScreen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.calls.size() == 1; }, 5000));
    const QVariantList first = server.calls[0];
    EXPECT_EQ(first[0].toString(), "Tessik");
    EXPECT_EQ(first[1].toUInt(), 0u);
    EXPECT_EQ(first[2].toString(), ApplicationId::name);
    EXPECT_EQ(first[3].toString(), "Copié dans le presse-papiers");
    EXPECT_EQ(first[4].toString(), "");
    EXPECT_TRUE(first[5].toStringList().isEmpty());
    const QVariantMap hints = first[6].toMap();
    EXPECT_EQ(hints.value("desktop-entry").toString(), ApplicationId::name);
    EXPECT_TRUE(hints.value("transient").toBool());
    EXPECT_EQ(first[7].toInt(), 1750);

    // Once the first answer is in, the next confirmation replaces that notification.
    QTest::qWait(100);
    toast.show("Enregistré", someScreen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.calls.size() == 2; }, 5000));
    EXPECT_EQ(server.calls[1][1].toUInt(), 41u);
    EXPECT_EQ(server.calls[1][3].toString(), "Enregistré");
}

TEST(NotificationToast, AnUnansweredConfirmationLeavesTheNextOneNew) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    NotificationToast toast(bus.connect("tessik"));
    // No notification server yet: the calls fail, nothing waits for them.
    toast.show("Enregistré", someScreen());
    toast.show("Enregistré", someScreen());
    QTest::qWait(200);

    QDBusConnection serverSide = bus.connect("server");
    NotificationServer server;
    ASSERT_TRUE(serverSide.registerVirtualObject("/org/freedesktop/Notifications", &server));
    ASSERT_TRUE(serverSide.registerService("org.freedesktop.Notifications"));
    toast.show("Copié dans le presse-papiers", someScreen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.calls.size() == 1; }, 5000));
    EXPECT_EQ(server.calls[0][1].toUInt(), 0u);

    // Without a bus at all, nothing is sent and nothing breaks.
    NotificationToast noBus(QDBusConnection(QStringLiteral("no such connection")));
    noBus.show("Enregistré", someScreen());
}

}  // namespace
