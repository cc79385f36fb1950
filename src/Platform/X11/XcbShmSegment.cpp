#include "Platform/X11/XcbShmSegment.h"

#include <cstring>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include "Platform/X11/XcbHandles.h"

std::unique_ptr<XcbShmSegment> XcbShmSegment::create(xcb_connection_t* c, std::size_t bytes,
                                                     QString* whyNot) {
    auto fail = [whyNot](const char* reason) -> std::unique_ptr<XcbShmSegment> {
        if (whyNot) *whyNot = QString::fromUtf8(reason);
        return nullptr;
    };
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
    if (!ext || !ext->present) return fail("le serveur X n'a pas l'extension MIT-SHM");

    const int shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (shmid < 0) return fail("segment de mémoire partagée refusé par le système");
    void* address = shmat(shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(shmid, IPC_RMID, nullptr);
        return fail("segment de mémoire partagée inaccessible");
    }
    const std::uint32_t id = xcb_generate_id(c);
    XcbReply<xcb_generic_error_t> error(
        xcb_request_check(c, xcb_shm_attach_checked(c, id, shmid, /*read_only=*/0)));
    // Removed now: it lives on only as long as someone is attached.
    shmctl(shmid, IPC_RMID, nullptr);
    if (error || xcb_connection_has_error(c)) {
        shmdt(address);
        return fail("le serveur X ne partage pas la mémoire avec ce client");
    }
    // Touch every page now, not during a capture.
    std::memset(address, 0, bytes);
    return std::unique_ptr<XcbShmSegment>(new XcbShmSegment(c, id, address, bytes));
}

XcbShmSegment::~XcbShmSegment() {
    if (!xcb_connection_has_error(m_connection)) {
        xcb_shm_detach(m_connection, m_id);
        xcb_flush(m_connection);
    }
    shmdt(m_address);
}
