#include "Base/ResidentPages.h"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace {

#ifndef MADV_POPULATE_WRITE
constexpr int MADV_POPULATE_WRITE = 23;
#endif

// Writes back one byte already there in each page of the range, and only inside the range.
void touchEachPage(unsigned char* data, std::size_t size, std::uintptr_t page) {
    auto* p = reinterpret_cast<volatile unsigned char*>(data);
    auto* const end = p + size;
    while (p < end) {
        *p = *p;
        p += page - (reinterpret_cast<std::uintptr_t>(p) & (page - 1));
    }
}

}  // namespace

void makePagesResident(void* data, std::size_t size) {
    if (!data || size == 0) return;
    const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    // Mappings are whole pages, so the range widened to page boundaries stays inside its mapping.
    const auto begin = reinterpret_cast<std::uintptr_t>(data) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size + page - 1) & ~(page - 1);
    // Populating spares the fault per page; on virtual machines with shadow page tables the
    // first access through this mapping still costs an exit per page, so it is paid here too.
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
    touchEachPage(static_cast<unsigned char*>(data), size, page);
}
