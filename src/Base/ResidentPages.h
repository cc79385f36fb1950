#pragma once

#include <cstddef>
#include <vector>

// Makes every page of a writable range resident and mapped for writing, so that drawing into it
// later does not stop on each page. Touching fresh memory costs a trap per 4 KiB page, about
// 10 µs each on some virtual machines; the kernel fills the whole range in one call first
// (MADV_POPULATE_WRITE, Linux 5.14), which halves that. Contents are kept, but no other thread
// may write to the range meanwhile.
void makePagesResident(void* data, std::size_t size);

struct PageRange {
    unsigned char* data;
    std::size_t size;
};

// The same for several ranges, another thread taking about half of the bytes: faulting in is
// nearly all of the cost, and two cores do it in about two thirds of the time one takes.
void makePagesResident(const std::vector<PageRange>& ranges);

// Has the kernel alone make the range resident, without reading or writing it, so another thread
// may write there meanwhile. False where the kernel cannot (before Linux 5.14): the pages then
// fault in when first written.
bool populatePages(void* data, std::size_t size);
