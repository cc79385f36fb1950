#pragma once

#include <QString>
#include <QStringList>

#include "App/AppCommand.h"

// `tessik [--capture-area | --capture-screen | --settings | --quit]`, plus --help and --version.
// Parsed before any display connection, so help and usage errors work anywhere.
namespace CommandLine {

struct Request {
    enum class Kind { run, help, version, usageError };
    Kind kind = Kind::run;
    AppCommand command = AppCommand::none;
    QString error;  // the parser's or our own French message, for a usage error

    bool operator==(const Request&) const = default;
};

Request parse(const QStringList& arguments);

// Help, version or a usage error, printed in French (help and version to standard output, an
// error and the usage to standard error). Returns the exit code: 0, or 2 for a usage error.
int respond(int argc, char** argv);

QStringList arguments(int argc, char** argv);

}  // namespace CommandLine
