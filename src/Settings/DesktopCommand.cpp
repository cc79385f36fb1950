#include "Settings/DesktopCommand.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace DesktopCommand {

namespace {
const QString kProgram = QStringLiteral("tessik");
const QString kArgument = QStringLiteral(" --capture-area");

QString shellQuoted(const QString& text) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+:@%=,-]+$"));
    if (plain.match(text).hasMatch()) return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}
}  // namespace

QString captureArea(const QString& applicationPath,
                    const std::function<QString(const QString&)>& findExecutable) {
    const QString found =
        findExecutable ? findExecutable(kProgram) : QStandardPaths::findExecutable(kProgram);
    const QString self = QFileInfo(applicationPath).canonicalFilePath();
    if (!found.isEmpty() && !self.isEmpty() && QFileInfo(found).canonicalFilePath() == self)
        return kProgram + kArgument;
    return shellQuoted(self.isEmpty() ? applicationPath : self) + kArgument;
}

}  // namespace DesktopCommand
