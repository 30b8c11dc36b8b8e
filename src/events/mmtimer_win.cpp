// The multimedia timer on Windows: winmm's periodic timers.
#include "events/mmtimer.h"

#include <pubfunc/multimediatimer.h>

#include <windows.h>
#include <mmsystem.h>

namespace {
void CALLBACK tickProc(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    CMultimediaTimer::onTick(id, reinterpret_cast<void*>(user));
}
} // namespace

namespace pf {
namespace mmtimer {

// Resolution 0 asks for the finest the system offers; TIME_PERIODIC with a
// callback function.
unsigned int setEvent(unsigned int periodMs, void* user) {
    return timeSetEvent(periodMs, 0, tickProc, reinterpret_cast<DWORD_PTR>(user),
                        TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
}

void killEvent(unsigned int id) {
    timeKillEvent(id);
}

} // namespace mmtimer
} // namespace pf
