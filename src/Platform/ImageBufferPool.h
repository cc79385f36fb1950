#pragma once

#include <functional>
#include <future>

#include <QImage>
#include <QList>
#include <QSize>

// RGB32 images whose memory is already faulted in, handed out again once nobody else holds
// them. Touching fresh memory costs about 10 µs per page here, far more than filling it, so a
// capture should land in pages made ready beforehand, or made ready alongside it.
class ImageBufferPool {
public:
    ImageBufferPool() = default;
    ImageBufferPool(const ImageBufferPool&) = delete;
    ImageBufferPool& operator=(const ImageBufferPool&) = delete;
    ~ImageBufferPool();

    // An image of that size filled by `write` (given its bits and stride) while no one else
    // shares it; null when memory runs out.
    QImage fill(QSize size, const std::function<void(uchar* bits, qsizetype stride)>& write);
    // Keeps one free buffer ready for each size and forgets buffers of other sizes.
    void prepare(const QList<QSize>& sizes);
    // Makes a buffer for each size that has no free one and faults their pages in on another
    // thread, last buffer first, while the caller fills them from the first: the two meet
    // instead of the caller faulting every page alone. The future is done once they all are;
    // the pool drops none of them before.
    std::shared_future<void> reserve(const QList<QSize>& sizes);
    // Forgets every buffer nobody else holds.
    void release();

private:
    static QImage allocate(QSize size);
    qsizetype freeBuffers(QSize size) const;
    QImage* freeBuffer(QSize size);
    void trim(qsizetype limit);
    // Waits for the pages being faulted in, before any buffer may be freed.
    void settle();
    QList<QImage> m_buffers;
    std::shared_future<void> m_faulting;
};
