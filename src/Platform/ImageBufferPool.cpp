#include "Platform/ImageBufferPool.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <sys/mman.h>

#include "Base/ResidentPages.h"

namespace {

constexpr std::size_t hugePage = 2u << 20;
// Small images are cheap to make; only frames are worth keeping.
constexpr qsizetype poolableBytes = 256 * 1024;
constexpr qsizetype maxBuffers = 8;

bool isFree(const QImage& image) {
    return image.isDetached();
}

bool isPoolable(QSize size) {
    return qsizetype(size.width()) * size.height() * 4 >= poolableBytes;
}

}  // namespace

QImage ImageBufferPool::allocate(QSize size) {
    const std::size_t stride = std::size_t(size.width()) * 4;
    const std::size_t bytes = (stride * size.height() + hugePage - 1) / hugePage * hugePage;
    void* data = std::aligned_alloc(hugePage, bytes);
    if (!data) return {};
    // Huge pages fault in about ten times faster than 4 KiB ones. Not faulted in here: the
    // caller says when, and on which thread.
    madvise(data, bytes, MADV_HUGEPAGE);
    return QImage(
        static_cast<uchar*>(data), size.width(), size.height(), qsizetype(stride),
        QImage::Format_RGB32, [](void* p) { std::free(p); }, data);
}

ImageBufferPool::~ImageBufferPool() {
    settle();
}

void ImageBufferPool::settle() {
    if (m_faulting.valid()) m_faulting.wait();
}

void ImageBufferPool::trim(qsizetype limit) {
    // Free buffers beyond the limit are dropped, oldest first; held ones belong to their holders.
    for (qsizetype i = 0; i < m_buffers.size() && m_buffers.size() > limit;) {
        if (!isFree(m_buffers[i])) {
            ++i;
            continue;
        }
        settle();
        m_buffers.removeAt(i);
    }
}

qsizetype ImageBufferPool::freeBuffers(QSize size) const {
    return std::count_if(m_buffers.cbegin(), m_buffers.cend(),
                         [&](const QImage& b) { return b.size() == size && isFree(b); });
}

QImage* ImageBufferPool::freeBuffer(QSize size) {
    for (QImage& buffer : m_buffers)
        if (buffer.size() == size && isFree(buffer)) return &buffer;
    QImage fresh = allocate(size);
    if (fresh.isNull()) return nullptr;
    trim(maxBuffers - 1);
    m_buffers.append(std::move(fresh));
    return &m_buffers.last();
}

QImage ImageBufferPool::fill(QSize size,
                             const std::function<void(uchar* bits, qsizetype stride)>& write) {
    if (!isPoolable(size)) {
        QImage small(size, QImage::Format_RGB32);
        if (!small.isNull()) write(small.bits(), small.bytesPerLine());
        return small;
    }
    QImage* buffer = freeBuffer(size);
    if (!buffer) return {};
    // Only the pool holds it, so writing does not copy it.
    write(buffer->bits(), buffer->bytesPerLine());
    QImage image = *buffer;
    trim(maxBuffers);
    return image;
}

void ImageBufferPool::release() {
    settle();
    m_buffers.removeIf(isFree);
}

void ImageBufferPool::prepare(const QList<QSize>& sizes) {
    settle();
    m_buffers.removeIf([&](const QImage& b) { return isFree(b) && !sizes.contains(b.size()); });
    for (QSize size : sizes) {
        if (!isPoolable(size)) continue;
        if (freeBuffers(size) == 0) {
            QImage fresh = allocate(size);
            if (fresh.isNull()) continue;
            makePagesResident(fresh.bits(), std::size_t(fresh.sizeInBytes()));
            m_buffers.append(fresh);
        }
    }
}

std::shared_future<void> ImageBufferPool::reserve(const QList<QSize>& sizes) {
    std::vector<PageRange> fresh;
    QList<QSize> claimed;
    for (QSize size : sizes) {
        if (!isPoolable(size)) continue;
        // Two displays of one size need two buffers.
        const auto wanted = claimed.count(size) + 1;
        claimed.append(size);
        if (freeBuffers(size) >= wanted) continue;
        QImage image = allocate(size);
        if (image.isNull()) continue;
        fresh.push_back({image.bits(), std::size_t(image.sizeInBytes())});
        m_buffers.append(std::move(image));
    }
    if (fresh.empty()) return {};
    settle();
    m_faulting = std::async(std::launch::async, [fresh = std::move(fresh)] {
        // From the far end, a huge page at a time, so that the two threads seldom meet on one.
        // Only the kernel populates: the caller may already be writing there.
        for (auto it = fresh.rbegin(); it != fresh.rend(); ++it)
            for (std::size_t end = it->size; end > 0;) {
                const std::size_t begin = end > hugePage ? end - hugePage : 0;
                if (!populatePages(it->data + begin, end - begin)) return;
                end = begin;
            }
    });
    return m_faulting;
}
