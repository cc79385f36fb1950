#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <QString>

struct xcb_connection_t;

// A System V shared memory segment attached to the X server for MIT-SHM transfers. The segment
// is marked for removal as soon as the server holds it, so it disappears with the last of the
// two attachments even if this process dies; the owner detaches both ends.
class XcbShmSegment {
public:
    // Nothing (and nothing left behind) when the server cannot share memory with us, as over a
    // remote connection; `whyNot` then says why.
    static std::unique_ptr<XcbShmSegment> create(xcb_connection_t* connection, std::size_t bytes,
                                                 QString* whyNot = nullptr);
    ~XcbShmSegment();
    XcbShmSegment(const XcbShmSegment&) = delete;
    XcbShmSegment& operator=(const XcbShmSegment&) = delete;

    std::uint32_t id() const { return m_id; }
    const unsigned char* data() const { return static_cast<const unsigned char*>(m_address); }
    unsigned char* data() { return static_cast<unsigned char*>(m_address); }
    std::size_t size() const { return m_size; }

private:
    XcbShmSegment(xcb_connection_t* c, std::uint32_t id, void* address, std::size_t size)
        : m_connection(c), m_id(id), m_address(address), m_size(size) {}

    xcb_connection_t* m_connection;
    std::uint32_t m_id;
    void* m_address;
    std::size_t m_size;
};
