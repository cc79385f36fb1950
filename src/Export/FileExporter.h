#pragma once

#include <expected>
#include <functional>

#include <QDateTime>
#include <QString>

#include "Export/Exporter.h"
#include "Export/ImageEncoding.h"

// Saves an image as a PNG named after the moment of the save into one folder, creating the
// folder first. Never overwrites anything: a name already taken (by a file or a folder, or by a
// save running at the same moment) gets the next counter "-2" ... "-999". The file appears under
// its final name complete or not at all, and no temporary file is ever left behind.
class FileExporter final : public Exporter {
public:
    // Why a save failed, each with its French description.
    struct Failure {
        enum class Case { directoryUnavailable, noAvailableName, writeFailed };
        Case kind = Case::writeFailed;
        QString reason;  // the system's reason, for directoryUnavailable and writeFailed

        static Failure directoryUnavailable(QString why) {
            return {Case::directoryUnavailable, std::move(why)};
        }
        static Failure noAvailableName() { return {Case::noAvailableName, {}}; }
        static Failure writeFailed(QString why) { return {Case::writeFailed, std::move(why)}; }

        QString description() const;
        bool operator==(const Failure&) const = default;
    };

    // The clock, callable from any thread; the default is the current local date and time.
    using Clock = std::function<QDateTime()>;
    static constexpr int lastCounter = 999;

    explicit FileExporter(QString directory, Clock now = {},
                          ImageEncoding encode = standardImageEncoding());

    const QString& directory() const { return m_directory; }

    // Runs `save` on a worker thread.
    QFuture<ExportOutcome> exportImage(QImage image) override;
    // The whole save, on the calling thread; gives the path written.
    std::expected<QString, AnyError> save(const QImage& image) const;

    // "Tessik_" + yyyy-MM-dd_HH-mm-ss + ".png", in local time with ASCII digits whatever the
    // user's locale.
    static QString makeFilename(const QDateTime& date);
    // The name itself, then base-2 ... base-999 with the same extension.
    static QString candidateName(const QString& name, int counter);

private:
    QString m_directory;
    Clock m_now;
    ImageEncoding m_encode;
};
