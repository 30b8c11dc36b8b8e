// Page memory and heap block sizes on Linux: anonymous mmap and malloc_usable_size.
#include "platform/pages.h"

#include <malloc.h>
#include <sys/mman.h>

namespace pf {
namespace platform {

// Anonymous private pages read as zeros.
void* allocPages(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

size_t heapBlockSize(const void* p) {
    return malloc_usable_size(const_cast<void*>(p));
}

} // namespace platform
} // namespace pf
