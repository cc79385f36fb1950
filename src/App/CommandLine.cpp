#include "App/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <array>
#include <cstdio>

#include "Base/Localization.h"
#include "TessikVersion.h"

namespace CommandLine {

namespace {

struct CommandOption {
    const char* name;
    const char* description;
    AppCommand command;
};

constexpr std::array commandOptions{
    CommandOption{"capture-area", QT_TRANSLATE_NOOP("Tessik", "Capturer une zone de l'écran."),
                  AppCommand::captureArea},
    CommandOption{"capture-screen",
                  QT_TRANSLATE_NOOP("Tessik",
                                    "Copier l'écran entier dans le presse-papiers, sans "
                                    "annotation."),
                  AppCommand::captureScreen},
    CommandOption{"settings", QT_TRANSLATE_NOOP("Tessik", "Ouvrir les réglages."),
                  AppCommand::showSettings},
    CommandOption{"quit", QT_TRANSLATE_NOOP("Tessik", "Quitter Tessik."), AppCommand::quit},
};

// Configures `parser` and returns the request it reads from `arguments`.
Request parseWith(QCommandLineParser& parser, const QStringList& arguments) {
    parser.setApplicationDescription(
        localized("Tessik capture une zone de l'écran, l'annote, puis la copie ou l'enregistre.\n"
                  "Sans option, Tessik attend dans la zone de notification. Une option "
                  "transmet sa commande au Tessik déjà lancé, ou le lance d'abord."));
    // Our own help and version options: Qt's descriptions of its built-in ones are not all
    // translated, and its --help-all lists options Tessik does not take.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  localized("Afficher cette aide."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     localized("Afficher la version de Tessik."));
    parser.addOption(help);
    parser.addOption(version);
    std::array<QCommandLineOption, commandOptions.size()> options{
        QCommandLineOption(commandOptions[0].name, localized(commandOptions[0].description)),
        QCommandLineOption(commandOptions[1].name, localized(commandOptions[1].description)),
        QCommandLineOption(commandOptions[2].name, localized(commandOptions[2].description)),
        QCommandLineOption(commandOptions[3].name, localized(commandOptions[3].description)),
    };
    for (const QCommandLineOption& option : options) parser.addOption(option);

    if (!parser.parse(arguments)) return {Request::Kind::usageError, {}, parser.errorText()};
    if (parser.isSet(help)) return {Request::Kind::help, {}, {}};
    if (parser.isSet(version)) return {Request::Kind::version, {}, {}};
    if (!parser.positionalArguments().isEmpty())
        return {Request::Kind::usageError,
                {},
                localized("Argument inattendu : %1").arg(parser.positionalArguments().first())};
    Request request;
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (!parser.isSet(options[i])) continue;
        if (request.command != AppCommand::none)
            return {Request::Kind::usageError, {}, localized("Une seule commande à la fois.")};
        request.command = commandOptions[i].command;
    }
    return request;
}

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

}  // namespace

QStringList arguments(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i) list.append(QString::fromLocal8Bit(argv[i]));
    return list;
}

Request parse(const QStringList& arguments) {
    QCommandLineParser parser;
    return parseWith(parser, arguments);
}

int respond(int argc, char** argv) {
    // No display is needed to print; Qt's own French texts (usage, built-in options, parse
    // errors) come from its translation.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tessik"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TESSIK_VERSION));
    QTranslator qtFrench;
    if (qtFrench.load(QStringLiteral("qtbase_fr"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtFrench);

    QCommandLineParser parser;
    const Request request = parseWith(parser, QCoreApplication::arguments());
    switch (request.kind) {
        case Request::Kind::help:
            print(stdout, parser.helpText());
            return 0;
        case Request::Kind::version:
            print(stdout, QStringLiteral("Tessik %1\n").arg(QStringLiteral(TESSIK_VERSION)));
            return 0;
        case Request::Kind::usageError:
            print(stderr,
                  QStringLiteral("tessik : %1\n\n%2").arg(request.error, parser.helpText()));
            return 2;
        case Request::Kind::run:
            break;
    }
    return 0;
}

}  // namespace CommandLine
