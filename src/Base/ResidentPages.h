#pragma once

#include <cstddef>

// Makes every page of a writable range resident and mapped for writing, so that drawing into it
// later does not stop on each page. Touching fresh memory costs a trap per 4 KiB page, about
// 10 µs each on some virtual machines; the kernel fills the whole range in one call first
// (MADV_POPULATE_WRITE, Linux 5.14), which halves that. Contents are kept, but no other thread
// may write to the range meanwhile.
void makePagesResident(void* data, std::size_t size);
