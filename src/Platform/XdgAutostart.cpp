#include "Platform/XdgAutostart.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "Base/ApplicationId.h"
#include "Base/Localization.h"
#include "Base/SystemError.h"

namespace {

// One argument of an Exec line, quoted so spaces and shell characters survive.
QString quotedExecArgument(const QString& arg) {
    QString quoted;
    for (QChar c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    // A desktop entry value escapes its own backslashes once more.
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return '"' + quoted + '"';
}

// Whether the [Desktop Entry] group of the file says Hidden=true.
bool isHidden(const QByteArray& contents) {
    bool inEntry = false;
    for (const QByteArray& raw : contents.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) continue;
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && line.left(eq).trimmed() == "Hidden")
            return line.mid(eq + 1).trimmed() == "true";
    }
    return false;
}

std::unexpected<LoginItemError> failure(const char* what, const QString& reason) {
    return std::unexpected(LoginItemError{localized(what) + reason});
}

const char* const kCannotEnable = "Impossible d'activer l'ouverture à la connexion : ";
const char* const kCannotDisable = "Impossible de désactiver l'ouverture à la connexion : ";

}  // namespace

XdgAutostart::XdgAutostart()
    : XdgAutostart(userAutostartDirectory(), QCoreApplication::applicationFilePath()) {
}

XdgAutostart::XdgAutostart(QString autostartDirectory, QString executable)
    : m_directory(std::move(autostartDirectory)), m_executable(std::move(executable)) {
}

QString XdgAutostart::userAutostartDirectory() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(config).filePath(QStringLiteral("autostart"));
}

QString XdgAutostart::entryPath() const {
    return QDir(m_directory).filePath(QStringLiteral("tessik.desktop"));
}

QByteArray XdgAutostart::entryContents(const QString& executable) {
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=Tessik\n");
    text += QStringLiteral("Comment=") + localized("Capture d'écran") + '\n';
    text += QStringLiteral("Exec=") + quotedExecArgument(executable) + '\n';
    text += QStringLiteral("Icon=") + QLatin1String(ApplicationId::name) + '\n';
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

LoginItems::Status XdgAutostart::status() const {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly)) return Status::notRegistered;
    return isHidden(file.readAll()) ? Status::notRegistered : Status::enabled;
}

std::expected<void, LoginItemError> XdgAutostart::registerApp() {
    std::error_code ec;
    std::filesystem::create_directories(QFile::encodeName(m_directory).toStdString(), ec);
    if (ec) return failure(kCannotEnable, describeSystemError(ec.value()));
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly))
        return failure(kCannotEnable, file.error() == QFileDevice::PermissionsError
                                          ? describeSystemError(EACCES)
                                          : file.errorString());
    file.write(entryContents(m_executable));
    if (!file.commit()) return failure(kCannotEnable, file.errorString());
    return {};
}

std::expected<void, LoginItemError> XdgAutostart::unregisterApp() {
    if (::unlink(QFile::encodeName(entryPath()).constData()) != 0 && errno != ENOENT)
        return failure(kCannotDisable, describeSystemError(errno));
    return {};
}
