// The CPU clock on Linux: CLOCK_MONOTONIC in nanoseconds and clock_nanosleep.
#include "sys/cpuclock_internal.h"

#include <cerrno>
#include <sched.h>
#include <ctime>

namespace pf {
namespace clock {

constexpr long long kNanosecondsPerSecond = 1000000000;

long long counter() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * kNanosecondsPerSecond + now.tv_nsec;
}

long long frequency() {
    return kNanosecondsPerSecond;
}

// A signal does not cut the sleep short: it goes on for the time remaining.
void sleepMs(unsigned long ms) {
    if (ms == 0) {
        sched_yield();
        return;
    }
    timespec left{time_t(ms / 1000), long(ms % 1000) * 1000000};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
    }
}

} // namespace clock
} // namespace pf
