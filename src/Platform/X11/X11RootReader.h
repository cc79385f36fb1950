#pragma once

#include <memory>
#include <optional>

#include <QRect>

#include "Capture/DisplaySource.h"
#include "Platform/X11/RootPixelFormat.h"

struct xcb_connection_t;
class XcbShmSegment;

// Reads rectangles of the root window into memory the caller owns, converted to opaque RGB32
// from the server's own pixel layout. It goes
// through a small MIT-SHM segment kept for the connection's life, in bands: while we copy one
// band out of one half of the segment, the server fills the other half with the next. Without
// MIT-SHM (a remote server) it falls back to plain GetImage, in the same bands so that each reply
// fits memory the allocator already has.
class X11RootReader {
public:
    using Failure = DisplaySource::Failure;

    X11RootReader(xcb_connection_t* connection, quint32 root, RootPixelFormat format);
    ~X11RootReader();

    // Makes the segment and has both sides fault its pages in, before any capture needs it.
    void prepare(const QRect& sample);
    // Drops the segment; reads go without one until prepare() makes a new one.
    void release();
    std::optional<Failure> read(const QRect& area, uchar* bits, qsizetype stride);
    bool usesSharedMemory() const { return m_segment != nullptr; }

private:
    bool ensureSegment();
    std::optional<Failure> readShared(const QRect& area, uchar* bits, qsizetype stride);
    std::optional<Failure> readPlain(const QRect& area, uchar* bits, qsizetype stride);

    xcb_connection_t* m_connection;
    quint32 m_root;
    RootPixelFormat m_format;
    std::unique_ptr<XcbShmSegment> m_segment;
    bool m_shmRefused = false;
};
