#include "Export/FileExporter.h"

#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QtConcurrent/QtConcurrentRun>

#include "Base/Localization.h"
#include "Base/SystemError.h"
#include "Export/AtomicFileWriter.h"
#include "Export/ImageEncoder.h"

QString FileExporter::Failure::description() const {
    switch (kind) {
        case Case::directoryUnavailable:
            return localized("Impossible d'écrire dans le dossier d'enregistrement : ") + reason;
        case Case::noAvailableName:
            return localized(
                "Aucun nom de fichier n'est libre pour cette capture dans le dossier "
                "d'enregistrement.");
        case Case::writeFailed:
            return localized("Impossible d'enregistrer la capture : ") + reason;
    }
    return {};
}

FileExporter::FileExporter(QString directory, Clock now, ImageEncoding encode)
    : m_directory(std::move(directory)),
      m_now(now ? std::move(now) : Clock([] { return QDateTime::currentDateTime(); })),
      m_encode(std::move(encode)) {
}

QFuture<ExportOutcome> FileExporter::exportImage(QImage image) {
    return QtConcurrent::run([exporter = *this, image = std::move(image)]() -> ExportOutcome {
        auto saved = exporter.save(image);
        if (!saved) return std::unexpected(saved.error());
        return {};
    });
}

QString FileExporter::makeFilename(const QDateTime& date) {
    // The C locale formats with ASCII digits and the Gregorian calendar.
    return QStringLiteral("Tessik_") +
           QLocale::c().toString(date.toLocalTime(), QStringLiteral("yyyy-MM-dd_HH-mm-ss")) +
           QStringLiteral(".png");
}

QString FileExporter::candidateName(const QString& name, int counter) {
    if (counter <= 1) return name;
    const QFileInfo info(name);
    const QString suffix = info.completeSuffix();
    const QString base = info.baseName() + '-' + QString::number(counter);
    return suffix.isEmpty() ? base : base + '.' + suffix;
}

std::expected<QString, AnyError> FileExporter::save(const QImage& image) const {
    std::error_code ec;
    const std::filesystem::path folder(QFile::encodeName(m_directory).toStdString());
    std::filesystem::create_directories(folder, ec);
    if (!ec && !std::filesystem::is_directory(folder, ec) && !ec)
        ec = std::make_error_code(std::errc::not_a_directory);
    if (ec) return std::unexpected(Failure::directoryUnavailable(describeSystemError(ec.value())));

    auto bytes = m_encode(image, ImageEncoder::png);
    if (!bytes) return std::unexpected(bytes.error());

    // The clock is read once, after encoding: the name tells when the file was made.
    const QString name = makeFilename(m_now());
    auto written = AtomicFileWriter::writeNew(m_directory, *bytes, [&](int i) {
        return i < lastCounter ? candidateName(name, i + 1) : QString();
    });
    if (!written) {
        const auto& error = written.error();
        switch (error.problem) {
            case AtomicFileWriter::Problem::cannotCreate:
                return std::unexpected(
                    Failure::directoryUnavailable(describeSystemError(error.errnum)));
            case AtomicFileWriter::Problem::noFreeName:
                return std::unexpected(Failure::noAvailableName());
            case AtomicFileWriter::Problem::cannotWrite:
                return std::unexpected(Failure::writeFailed(describeSystemError(error.errnum)));
        }
    }
    return QDir(m_directory).filePath(*written);
}
