// The save-folder record: any bytes resolve to nothing or to an absolute path without a NUL,
// never to a path the system would cut short.

#include <cstdint>

#include <QCoreApplication>

#include "FuzzCheck.h"
#include "Settings/SaveDirectoryBookmark.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto resolved = SaveDirectoryBookmark::examine(bytes);
    FUZZ_CHECK(SaveDirectoryBookmark::resolve(bytes) ==
               (resolved ? std::optional(*resolved) : std::nullopt));
    if (!resolved) return 0;
    FUZZ_CHECK(SaveDirectoryBookmark::isUsablePath(resolved->url));
    // A resolved folder can be recorded again, and that record resolves to it, fresh.
    const auto again = SaveDirectoryBookmark::create(resolved->url);
    FUZZ_CHECK(again.has_value());
    const auto fresh = SaveDirectoryBookmark::resolve(*again);
    FUZZ_CHECK(fresh.has_value() && !fresh->isStale);
    return 0;
}
