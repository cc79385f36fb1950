#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant is a finding like a crash: say which, then abort so the driver keeps the
// input.
#define FUZZ_CHECK(condition)                                                                 \
    do {                                                                                      \
        if (!(condition)) {                                                                   \
            std::fprintf(stderr, "fuzz: invariant broken at %s:%d: %s\n", __FILE__, __LINE__, \
                         #condition);                                                         \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)
