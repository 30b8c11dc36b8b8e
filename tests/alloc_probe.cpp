// Replaces every form of operator new and delete of the white-box test program:
// allocations are counted, and one can be made to fail. Each form is replaced, so
// that news and deletes still pair up under the address sanitizer.
#include "alloc_probe.h"

#include <cstdlib>
#include <new>

std::atomic<int> g_allocations{0};
std::atomic<int> g_failAfter{0};

namespace {
void* allocate(std::size_t n) noexcept {
    ++g_allocations;
    if (g_failAfter > 0 && --g_failAfter == 0) return nullptr;
    return std::malloc(n ? n : 1);
}
void* allocateOrThrow(std::size_t n) {
    if (void* p = allocate(n)) return p;
    throw std::bad_alloc();
}
} // namespace

// GCC takes the frees below for a mismatch with its own operator new; these are malloc.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t n) {
    return allocateOrThrow(n);
}
void* operator new[](std::size_t n) {
    return allocateOrThrow(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return allocate(n);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
