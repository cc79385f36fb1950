// The preferences in the settings file: whatever the file holds, the store starts with a save
// folder that is an absolute path without a NUL and a default action of copy or save.

#include <cstdint>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "FuzzCheck.h"
#include "Settings/Preferences.h"
#include "Settings/SaveDirectoryBookmark.h"

namespace {
QTemporaryDir* g_dir = nullptr;
long g_counter = 0;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    // Damage is expected here; its warnings would only drown the run's output.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static QTemporaryDir dir;
    g_dir = &dir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A new name each time: QSettings keeps files it has read in a cache keyed by name.
    const QString path = g_dir->filePath(QStringLiteral("Tessik-%1.conf").arg(++g_counter));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    {
        DefaultsStore defaults(path);
        Preferences preferences(defaults);
        FUZZ_CHECK(SaveDirectoryBookmark::isUsablePath(preferences.saveDirectory()));
        FUZZ_CHECK(preferences.defaultAction() == ExportAction::copy ||
                   preferences.defaultAction() == ExportAction::save);
    }
    QFile::remove(path);
    return 0;
}
