#include "Base/ResidentPages.h"

#include <algorithm>
#include <cstdint>
#include <future>

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

bool populatePages(void* data, std::size_t size) {
    if (!data || size == 0) return true;
    const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    // Mappings are whole pages, so the range widened to page boundaries stays inside its mapping.
    const auto begin = reinterpret_cast<std::uintptr_t>(data) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size + page - 1) & ~(page - 1);
    return madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE) == 0;
}

void makePagesResident(void* data, std::size_t size) {
    if (!data || size == 0) return;
    // Populating spares the fault per page; on virtual machines with shadow page tables the
    // first access through this mapping still costs an exit per page, so it is paid here too.
    populatePages(data, size);
    touchEachPage(static_cast<unsigned char*>(data), size, std::uintptr_t(sysconf(_SC_PAGESIZE)));
}

void makePagesResident(const std::vector<PageRange>& ranges) {
    std::size_t total = 0;
    for (const PageRange& r : ranges) total += r.size;
    // The first half of the bytes goes to the other thread, the rest stays here.
    std::vector<PageRange> theirs, mine;
    std::size_t given = 0;
    for (const PageRange& r : ranges) {
        const std::size_t part = std::min(r.size, std::max(total / 2, given) - given);
        if (part > 0) theirs.push_back({r.data, part});
        if (part < r.size) mine.push_back({r.data + part, r.size - part});
        given += part;
    }
    if (theirs.empty() || mine.empty()) {
        for (const PageRange& r : ranges) makePagesResident(r.data, r.size);
        return;
    }
    auto other = std::async(std::launch::async, [&theirs] {
        for (const PageRange& r : theirs) makePagesResident(r.data, r.size);
    });
    for (const PageRange& r : mine) makePagesResident(r.data, r.size);
    other.get();
}
