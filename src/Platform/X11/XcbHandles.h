#pragma once

#include <cstdlib>
#include <memory>

// X replies and errors are malloc'ed by xcb and must be free()d; holding them in these owners
// means no early return can leak one.
struct XcbFree {
    void operator()(void* p) const { std::free(p); }
};

template <class T>
using XcbReply = std::unique_ptr<T, XcbFree>;
