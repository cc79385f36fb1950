#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTest>

#include "Capture/CaptureError.h"
#include "Platform/Wayland/PortalRequest.h"
#include "support/PrivateBus.h"

namespace {
const QString kDesktop = "org.freedesktop.portal.Desktop";
const QString kPath = "/org/freedesktop/portal/desktop";
const QString kStore = "org.freedesktop.impl.portal.PermissionStore";
const QString kStorePath = "/org/freedesktop/impl/portal/PermissionStore";

// A portal on the test's bus that answers as the test says: on the request's predicted path
// before the call returns, with a bus error, or only when the test answers a held request (on
// the predicted path, or on a path of its own as portals older than the handle token do).
class FakePortal final : public QDBusVirtualObject {
public:
    enum class Mode { answerFirst, ownPath, busError, silent };
    Mode mode = Mode::answerFirst;
    uint code = PortalRequest::success;
    QVariantMap results{{"uri", "file:///tmp/shot.png"}};
    std::optional<QStringList> storeEntry;         // the store's "" entry; none: no entry at all
    QList<QVariantMap> options;                    // what each call carried
    QStringList closed;                            // request paths closed by the client
    QList<std::pair<QString, QDBusMessage>> held;  // silent requests, to answer later

    explicit FakePortal(QDBusConnection bus) : m_bus(bus) {}

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        if (message.member() == "Close") {
            closed << message.path();
            m_bus.send(message.createReply());
        } else if (message.member() == "Lookup") {
            lookUp(message);
        } else {
            call(message);
        }
        return true;
    }
    void respond(const QString& path, uint responseCode, const QVariantMap& answerResults) {
        QDBusMessage response =
            QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
        response << responseCode << answerResults;
        m_bus.send(response);
    }

private:
    void call(const QDBusMessage& message) {
        const auto given = qdbus_cast<QVariantMap>(message.arguments().constLast());
        options << given;
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        const QString predicted =
            kPath + "/request/" + sender + "/" + given.value("handle_token").toString();
        switch (mode) {
            case Mode::answerFirst:
                respond(predicted, code, results);
                m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(predicted))));
                break;
            case Mode::ownPath: {
                const QString own = kPath + "/request/old/" + QString::number(options.size());
                m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(own))));
                held.append({own, message});
                break;
            }
            case Mode::busError:
                m_bus.send(message.createErrorReply("org.example.Odd", "détail"));
                break;
            case Mode::silent:
                m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(predicted))));
                held.append({predicted, message});
                break;
        }
    }
    void lookUp(const QDBusMessage& message) {
        if (!storeEntry)
            return (void)m_bus.send(
                message.createErrorReply("org.freedesktop.portal.Error.NotFound", "none"));
        QMap<QString, QStringList> table{{QString(), *storeEntry}};
        m_bus.send(message.createReply(QVariantList{
            QVariant::fromValue(table), QVariant::fromValue(QDBusVariant(QVariant(0)))}));
    }

    QDBusConnection m_bus;
};

class PortalRequestOnABus : public ::testing::Test {
protected:
    void SetUp() override {
        qDBusRegisterMetaType<QMap<QString, QStringList>>();
        ASSERT_TRUE(bus.isRunning());
        client = bus.connect("client");
        QDBusConnection side = bus.connect("portal");
        portal = std::make_unique<FakePortal>(side);
        ASSERT_TRUE(side.registerService(kDesktop));
        ASSERT_TRUE(side.registerService(kStore));
        ASSERT_TRUE(side.registerVirtualObject(kPath, portal.get(), QDBusConnection::SubPath));
        ASSERT_TRUE(side.registerVirtualObject(kStorePath, portal.get()));
    }
    // Asks the fake portal once; the answer lands in `answers`.
    void ask(QObject* context = nullptr, int timeoutMs = 5000) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kDesktop, kPath, "org.example.Portal", "Ask");
        call << QString("window") << QVariantMap{{"modal", true}};
        PortalRequest::start(client, call, 1, timeoutMs, context,
                             [this](PortalRequest::Answer a) { answers.append(a); });
    }

    PrivateBus bus;
    QDBusConnection client{QString()};
    std::unique_ptr<FakePortal> portal;
    QList<PortalRequest::Answer> answers;
};

TEST_F(PortalRequestOnABus, TheAnswerIsHeardWhereverAndWheneverThePortalGivesIt) {
    for (const auto mode : {FakePortal::Mode::answerFirst, FakePortal::Mode::ownPath}) {
        answers.clear();
        portal->mode = mode;
        portal->code = PortalRequest::cancelled;
        ask();
        // A portal of its own path answers once the call returned, which the client cannot
        // tell this one: it answers until heard.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                for (const auto& [path, call] : portal->held)
                    portal->respond(path, PortalRequest::cancelled, portal->results);
                return !answers.isEmpty();
            },
            5000))
            << int(mode);
        portal->held.clear();
        ASSERT_TRUE(answers[0].has_value()) << int(mode);
        EXPECT_EQ(answers[0]->code, PortalRequest::cancelled);
        EXPECT_EQ(answers[0]->results.value("uri"), "file:///tmp/shot.png");
    }
    // The call's own options are kept beside a handle token unique to each request.
    ASSERT_EQ(portal->options.size(), 2);
    EXPECT_EQ(portal->options[0].value("modal"), true);
    const QString first = portal->options[0].value("handle_token").toString();
    EXPECT_TRUE(first.startsWith("tessik")) << first.toStdString();
    EXPECT_NE(first, portal->options[1].value("handle_token").toString());
    // Only one answer each, and no request closed.
    QCoreApplication::processEvents();
    EXPECT_EQ(answers.size(), 1);
    EXPECT_TRUE(portal->closed.isEmpty());
}

TEST_F(PortalRequestOnABus, RequestsInFlightTogetherEachGetTheirOwn) {
    portal->mode = FakePortal::Mode::silent;
    ask();
    ask();
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal->held.size() == 2; }, 5000));
    // Answered in the other order, each with its own code.
    portal->respond(portal->held[1].first, 1, {});
    portal->respond(portal->held[0].first, 0, {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 2; }, 5000));
    EXPECT_EQ(answers[0]->code, 1u);
    EXPECT_EQ(answers[1]->code, 0u);
}

TEST_F(PortalRequestOnABus, ABusErrorOrSilenceIsNoAnswerAndASilentRequestIsClosed) {
    portal->mode = FakePortal::Mode::busError;
    ask();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 1; }, 5000));
    ASSERT_FALSE(answers[0].has_value());
    EXPECT_EQ(answers[0].error().kind, PortalRequest::Silence::Kind::busError);
    EXPECT_EQ(answers[0].error().errorName, "org.example.Odd");

    portal->mode = FakePortal::Mode::silent;
    ask(nullptr, 300);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 2; }, 5000));
    ASSERT_FALSE(answers[1].has_value());
    EXPECT_EQ(answers[1].error().kind, PortalRequest::Silence::Kind::timedOut);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !portal->closed.isEmpty(); }, 5000));
    EXPECT_EQ(portal->closed, QStringList{portal->held[0].first});
    // A late answer is not heard.
    portal->respond(portal->held[0].first, 0, {});
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(answers.size(), 2);
}

TEST_F(PortalRequestOnABus, NothingIsAnsweredOnceTheContextIsGone) {
    portal->mode = FakePortal::Mode::silent;
    auto context = std::make_unique<QObject>();
    ask(context.get());
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal->held.size() == 1; }, 5000));
    context.reset();
    portal->respond(portal->held[0].first, 0, {});
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_TRUE(answers.isEmpty());
}

TEST_F(PortalRequestOnABus, AScreenshotsCodeIsReadWithThePermissionStore) {
    struct Case {
        uint code;
        std::optional<QStringList> entry;
        CaptureError expected;
    };
    const QString failed = "le portail de capture d'écran n'a pas pu faire la capture";
    const Case cases[] = {
        {1, QStringList{"no"}, CaptureError::cancelled()},
        {2, QStringList{"no"}, CaptureError::permissionDenied()},
        {2, QStringList{"yes"}, CaptureError::captureFailed(failed)},
        {2, std::nullopt, CaptureError::captureFailed(failed)},
    };
    for (const Case& c : cases) {
        portal->code = c.code;
        portal->storeEntry = c.entry;
        std::optional<PortalRequest::Outcome> outcome;
        PortalRequest::screenshot(client, [&](PortalRequest::Outcome o) { outcome = o; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 5000)) << c.code;
        ASSERT_FALSE(outcome->has_value()) << c.code;
        EXPECT_EQ(CaptureError::from(outcome->error()), c.expected) << c.code;
    }
    portal->code = 0;
    std::optional<PortalRequest::Outcome> taken;
    PortalRequest::screenshot(client, [&](PortalRequest::Outcome o) { taken = o; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return taken.has_value(); }, 5000));
    ASSERT_TRUE(taken->has_value());
    EXPECT_EQ((*taken)->value("uri"), "file:///tmp/shot.png");
    EXPECT_EQ(portal->options.last().value("interactive"), false);
}

}  // namespace
