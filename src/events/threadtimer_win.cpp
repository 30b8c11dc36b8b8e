// Thread timers on Windows: SetTimer and KillTimer without a window.
#include "events/threadtimer.h"

namespace pf {
namespace threadtimer {

UINT_PTR set(unsigned int elapseMs, TIMERPROC proc) {
    return ::SetTimer(nullptr, 0, elapseMs, proc);
}

void kill(UINT_PTR id) {
    ::KillTimer(nullptr, id);
}

} // namespace threadtimer
} // namespace pf
