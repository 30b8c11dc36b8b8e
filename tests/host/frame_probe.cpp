// Extra exports over a copy of the library's objects, for the frame host.
#include "core/libframe.h"
#include "platform/platform.h"

#include <pubfunc/zvglobal.h>

#if defined(_WIN32)
#define PROBE_API extern "C" __declspec(dllexport)
#else
#define PROBE_API extern "C" __attribute__((visibility("default")))
#endif

namespace {
void lateCleanup() {}
} // namespace

PROBE_API void* probeModuleHandle() {
    return pf::platform::moduleHandle();
}

// Stands for a subsystem created on first use, after load (as the memory pool is).
PROBE_API bool probeRegisterLate() {
    return pf::frame::atUnload("late", lateCleanup);
}

PROBE_API void probeTraceUnload(void (*trace)(const char*)) {
    pf::frame::setUnloadTrace(trace);
}

// The probe's own event-id counter: its copy of genEventId, not the host's.
PROBE_API unsigned long long probeEventId() {
    return genEventId();
}
