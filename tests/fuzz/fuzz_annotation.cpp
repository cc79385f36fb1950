// The annotation coded form: reading is all or nothing, and what it reads is written and read
// back unchanged.

#include <cstdint>

#include <QCoreApplication>

#include "Annotation/Annotation.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto annotation = Annotation::decoded(bytes);
    if (!annotation) return 0;
    const auto again = Annotation::decoded(annotation->encoded());
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *annotation);
    const Rect bounds = annotation->boundingRect();
    FUZZ_CHECK(bounds.size.width >= 0 && bounds.size.height >= 0);
    return 0;
}
