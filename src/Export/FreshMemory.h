#pragma once

#include <QByteArray>
#include <QImage>

// Large buffers for whole frames. Touching fresh memory costs a page fault per 4 KiB page,
// which for a 4K frame outweighs the work done on it; these buffers ask the kernel for huge
// pages, so they fault in 2 MiB at a time. Only a hint: without transparent huge pages they
// behave like ordinary allocations.

// An uninitialised byte buffer.
QByteArray freshBytes(qsizetype size);

// An uninitialised image with rows packed at 4-byte alignment; null if it cannot be allocated.
QImage freshImage(QSize size, QImage::Format format);
