// The platform seam: primitives that portable code calls, one implementation per
// platform (platform_win.cpp, platform_posix.cpp), chosen by the build.
#pragma once

#include <cstddef>

namespace pf {
namespace platform {

// Recursive lock over a caller-provided record of kLockRecordSize bytes
// (8-byte aligned). tryLock returns true when the lock was taken.
constexpr size_t kLockRecordSize = 40;
void lockInit(void* record);
void lockDestroy(void* record);
void lockEnter(void* record);
void lockLeave(void* record);
bool lockTry(void* record);

// The library's own module: HMODULE on Windows (stored by the entry routine),
// the dlopen handle of the shared object elsewhere. Null before it is known, and
// in programs that link the library's objects statically.
void* moduleHandle();
// The entry-routine step of loading, run after the static set-up: where the
// platform has no entry routine that is handed the module (everywhere but
// Windows), the library finds its own handle here.
void onLibraryLoaded();

// Milliseconds since system start, wrapping at 2^32 on every build.
unsigned long tickCount();

} // namespace platform
} // namespace pf
