// Extra exports over a copy of the library's objects, for the frame test of
// host_tests.
#include "core/libframe.h"
#include "platform/platform.h"

#include <pubfunc/zvglobal.h>

// The probe's own first event id (its copy of genEventId, not the host's) and the
// module handle it recorded.
extern "C" PUBFUNC_API unsigned long long probeIdentity(void** moduleHandle) {
    *moduleHandle = pf::platform::moduleHandle();
    return genEventId();
}

// Registers a clean-up as a subsystem created on first use does (the memory pool),
// after load, and has trace watch the clean-ups as they run at unload.
extern "C" PUBFUNC_API bool probeWatchUnload(void (*trace)(const char*)) {
    pf::frame::setUnloadTrace(trace);
    return pf::frame::atUnload("late", [] {});
}
