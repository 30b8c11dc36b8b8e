// The CPU clock on Windows: the performance counter and Sleep.
#include "sys/cpuclock_internal.h"

#include <windows.h>

namespace pf {
namespace clock {

long long counter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

long long frequency() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
}

void sleepMs(unsigned long ms) {
    Sleep(ms);
}

} // namespace clock
} // namespace pf
