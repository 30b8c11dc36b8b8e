// Platform primitives for Linux and other POSIX systems.
#include "platform/platform.h"

#include <dlfcn.h>
#include <pthread.h>
#include <ctime>

static_assert(sizeof(pthread_mutex_t) <= pf::platform::kLockRecordSize,
              "the lock record holds a pthread mutex");
static_assert(alignof(pthread_mutex_t) <= 8, "the lock record is 8-byte aligned");

namespace {
void* s_module = nullptr;
pthread_mutex_t* mx(void* record) {
    return static_cast<pthread_mutex_t*>(record);
}
} // namespace

namespace pf {
namespace platform {

// A recursive mutex behaves as a critical section: the holder may enter again.
void lockInit(void* record) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(mx(record), &attr);
    pthread_mutexattr_destroy(&attr);
}
void lockDestroy(void* record) {
    pthread_mutex_destroy(mx(record));
}
void lockEnter(void* record) {
    pthread_mutex_lock(mx(record));
}
void lockLeave(void* record) {
    pthread_mutex_unlock(mx(record));
}
bool lockTry(void* record) {
    return pthread_mutex_trylock(mx(record)) == 0;
}

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
