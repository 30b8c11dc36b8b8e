// The platform's thread timers: ticks on the thread that set the timer, from its
// event loop, through a TIMERPROC.
#pragma once

#include <pubfunc/export.h>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace pf {
namespace threadtimer {

// The shortest interval; shorter requests tick at this one, as on Windows.
constexpr unsigned int kMinimumMs = 10;

// A timer of the calling thread calling proc(null, WM_TIMER, id, tick) every
// elapseMs; its identifier (unique in the process), 0 when refused.
UINT_PTR set(unsigned int elapseMs, TIMERPROC proc);
// Kills a timer set by any thread; an unknown identifier does nothing.
void kill(UINT_PTR id);

} // namespace threadtimer
} // namespace pf
