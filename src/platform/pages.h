// Page memory and the standard allocator's block sizes, behind the platform seam
// (pages_win.cpp, pages_posix.cpp).
#pragma once

#include <cstddef>

namespace pf {
namespace platform {

// Reserves and commits `bytes` of zero-filled read-write memory; null on failure.
// The pages are never given back: they live as long as the process.
void* allocPages(size_t bytes);

// The usable size of a block of the standard allocator (malloc, realloc).
size_t heapBlockSize(const void* p);

} // namespace platform
} // namespace pf
