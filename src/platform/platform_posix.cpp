// Platform primitives for Linux and other POSIX systems.
#include "platform/platform.h"

#include <dlfcn.h>
#include <ctime>

namespace {
void* s_module = nullptr;
} // namespace

namespace pf {
namespace platform {

void* moduleHandle() {
    return s_module;
}

// The shared object that holds this function is the library. dlopen with
// RTLD_NOLOAD only looks it up; the extra reference it takes is dropped at once,
// so the library's own handle never keeps it loaded. Linked into a program, the
// lookup by file name fails and the program's handle stands in.
void onLibraryLoaded() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&onLibraryLoaded), &info) && info.dli_fname) {
        if (void* self = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD)) {
            s_module = self;
            dlclose(self);
            return;
        }
    }
    if (void* program = dlopen(nullptr, RTLD_LAZY)) {
        s_module = program;
        dlclose(program);
    }
}

// CLOCK_MONOTONIC in milliseconds, cut to 32 bits as the Windows tick is.
unsigned long tickCount() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long>(now.tv_sec * 1000ull + now.tv_nsec / 1000000) & 0xFFFFFFFFul;
}

} // namespace platform
} // namespace pf
