#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "Base/ResidentPages.h"

namespace {

const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));

// Which pages of a mapping are in memory, as the kernel reports them.
std::vector<bool> residency(void* mapping, std::size_t pages) {
    std::vector<unsigned char> flags(pages);
    if (mincore(mapping, pages * page, flags.data()) != 0) return {};
    std::vector<bool> resident;
    for (unsigned char f : flags) resident.push_back(f & 1);
    return resident;
}

struct Mapping {
    explicit Mapping(std::size_t pages, int flags = MAP_PRIVATE | MAP_ANONYMOUS)
        : size(pages * page), data(mmap(nullptr, size, PROT_READ | PROT_WRITE, flags, -1, 0)) {}
    ~Mapping() {
        if (data != MAP_FAILED) munmap(data, size);
    }
    unsigned char* bytes() const { return static_cast<unsigned char*>(data); }
    std::size_t size;
    void* data;
};

}  // namespace

// Private memory, and shared memory as window backing stores use.
TEST(ResidentPages, EveryPageTheRangeTouchesBecomesResidentAndNoOther) {
    for (int flags : {MAP_PRIVATE | MAP_ANONYMOUS, MAP_SHARED | MAP_ANONYMOUS}) {
        SCOPED_TRACE(flags);
        Mapping m(8, flags);
        ASSERT_NE(m.data, MAP_FAILED);
        ASSERT_EQ(residency(m.data, 8), std::vector<bool>(8, false));
        // From the middle of page 2 to the first byte of page 5.
        makePagesResident(m.bytes() + 2 * page + page / 2, 2 * page + page / 2 + 1);
        EXPECT_EQ(residency(m.data, 8),
                  (std::vector<bool>{false, false, true, true, true, true, false, false}));
    }
}

// Several ranges, split between two threads: every page of each, and only those.
TEST(ResidentPages, EveryPageOfSeveralRangesBecomesResident) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::size_t, std::size_t>> ranges;  // first page, pages
    };
    const Case cases[] = {
        {"one range", {{1, 6}}},
        {"unequal ranges, the split inside the larger", {{0, 9}, {12, 2}}},
        {"the split between two ranges", {{0, 4}, {6, 4}}},
        {"many one-page ranges", {{1, 1}, {3, 1}, {5, 1}, {7, 1}, {9, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mapping m(16, MAP_SHARED | MAP_ANONYMOUS);
        ASSERT_NE(m.data, MAP_FAILED);
        std::vector<PageRange> ranges;
        std::vector<bool> expected(16, false);
        for (auto [first, pages] : c.ranges) {
            ranges.push_back({m.bytes() + first * page, pages * page});
            for (std::size_t p = first; p < first + pages; ++p) expected[p] = true;
        }
        makePagesResident(ranges);
        EXPECT_EQ(residency(m.data, 16), expected);
    }
}

TEST(ResidentPages, ContentsAreKept) {
    Mapping m(4);
    ASSERT_NE(m.data, MAP_FAILED);
    for (std::size_t i = 0; i < m.size; ++i) m.bytes()[i] = static_cast<unsigned char>(i * 7 + 3);
    const std::vector<unsigned char> before(m.bytes(), m.bytes() + m.size);
    makePagesResident(m.bytes() + 5, m.size - 10);
    EXPECT_EQ(std::memcmp(before.data(), m.bytes(), m.size), 0);
}

TEST(ResidentPages, NothingToDoForAnEmptyRange) {
    Mapping m(2);
    ASSERT_NE(m.data, MAP_FAILED);
    makePagesResident(m.data, 0);
    makePagesResident(nullptr, page);
    EXPECT_EQ(residency(m.data, 2), std::vector<bool>(2, false));
}
