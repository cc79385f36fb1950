#include "Export/FreshMemory.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

constexpr std::uintptr_t hugePage = 2 * 1024 * 1024;

void adviseHugePages(void* data, qsizetype size) {
#ifdef MADV_HUGEPAGE
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t last = (begin + std::uintptr_t(size)) & ~(hugePage - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data, (void)size;
#endif
}

}  // namespace

QByteArray freshBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    adviseHugePages(bytes.data(), size);
    return bytes;
}

QImage freshImage(QSize size, QImage::Format format) {
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    if (size.isEmpty() || depth <= 0) return {};
    const qsizetype rowBytes = ((qsizetype(size.width()) * depth + 31) / 32) * 4;
    const qsizetype bytes = rowBytes * size.height();
    if (rowBytes > std::numeric_limits<int>::max()) return {};
    // Small images are not worth a huge page of their own.
    const std::size_t alignment = bytes >= qsizetype(hugePage) ? hugePage : 64;
    void* data =
        std::aligned_alloc(alignment, (std::size_t(bytes) + alignment - 1) / alignment * alignment);
    if (!data) return {};
    adviseHugePages(data, bytes);
    return QImage(
        static_cast<uchar*>(data), size.width(), size.height(), rowBytes, format,
        [](void* p) { std::free(p); }, data);
}
