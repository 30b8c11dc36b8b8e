// Page memory and heap block sizes on Windows: VirtualAlloc and _msize.
#include "platform/pages.h"

#include <malloc.h>
#include <windows.h>

namespace pf {
namespace platform {

// Committed pages read as zeros.
void* allocPages(size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

size_t heapBlockSize(const void* p) {
    return _msize(const_cast<void*>(p));
}

} // namespace platform
} // namespace pf
