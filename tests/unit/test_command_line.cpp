#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaClassInfo>

#include "App/AppBusService.h"
#include "App/CommandLine.h"

namespace {

using Request = CommandLine::Request;
using Kind = Request::Kind;

struct ParseCase {
    QStringList arguments;
    Kind kind;
    AppCommand command;
    QString error;  // a part of the message, for usage errors
};

TEST(CommandLine, ParsesEachCommandAndRefusesWhatItDoesNotKnow) {
    const std::vector<ParseCase> cases{
        {{"tessik"}, Kind::run, AppCommand::none, {}},
        {{"tessik", "--capture-area"}, Kind::run, AppCommand::captureArea, {}},
        {{"tessik", "--capture-screen"}, Kind::run, AppCommand::captureScreen, {}},
        {{"tessik", "--settings"}, Kind::run, AppCommand::showSettings, {}},
        {{"tessik", "--quit"}, Kind::run, AppCommand::quit, {}},
        {{"tessik", "--help"}, Kind::help, AppCommand::none, {}},
        {{"tessik", "-h"}, Kind::help, AppCommand::none, {}},
        {{"tessik", "--capture-area", "--help"}, Kind::help, AppCommand::none, {}},
        {{"tessik", "--version"}, Kind::version, AppCommand::none, {}},
        {{"tessik", "-v"}, Kind::version, AppCommand::none, {}},
        {{"tessik", "--bogus"}, Kind::usageError, AppCommand::none, "bogus"},
        {{"tessik", "--capture-area", "--quit"}, Kind::usageError, AppCommand::none,
         "Une seule commande à la fois."},
        {{"tessik", "--settings", "--settings"}, Kind::run, AppCommand::showSettings, {}},
        {{"tessik", "zone"}, Kind::usageError, AppCommand::none, "Argument inattendu : zone"},
        {{"tessik", "--capture-area=1"}, Kind::usageError, AppCommand::none, "capture-area"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Request request = CommandLine::parse(c.arguments);
        EXPECT_EQ(request.kind, c.kind);
        EXPECT_EQ(request.command, c.command);
        if (c.kind == Kind::usageError)
            EXPECT_TRUE(request.error.contains(c.error)) << request.error.toStdString();
        else
            EXPECT_TRUE(request.error.isEmpty());
    }
}

TEST(AppBusService, CommandsWaitForTheLaunchThenRunInOrderAfterTheCallReturns) {
    AppBusService service;
    AppBusAdaptor adaptor(&service);
    std::vector<AppCommand> performed;

    adaptor.CaptureArea();
    adaptor.ShowSettings();
    QCoreApplication::processEvents();
    EXPECT_TRUE(performed.empty()) << "nothing runs before the application has launched";

    service.serve([&](AppCommand command) { performed.push_back(command); });
    EXPECT_TRUE(performed.empty()) << "never inside the caller's own call";
    QCoreApplication::processEvents();
    EXPECT_EQ(performed, (std::vector{AppCommand::captureArea, AppCommand::showSettings}));

    adaptor.CaptureScreen();
    adaptor.Quit();
    EXPECT_EQ(performed.size(), 2u);
    QCoreApplication::processEvents();
    EXPECT_EQ(performed, (std::vector{AppCommand::captureArea, AppCommand::showSettings,
                                      AppCommand::captureScreen, AppCommand::quit}));
}

TEST(AppBusService, ExportsTheAgreedInterfaceName) {
    const QMetaObject& meta = AppBusAdaptor::staticMetaObject;
    const int index = meta.indexOfClassInfo("D-Bus Interface");
    ASSERT_GE(index, 0);
    EXPECT_STREQ(meta.classInfo(index).value(), ApplicationId::interface);
}

}  // namespace
