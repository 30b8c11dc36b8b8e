// The CPU clock's platform calls (cpuclock_win.cpp, cpuclock_posix.cpp) and the
// source the white-box tests put in their place.
#pragma once

namespace pf {
namespace clock {

long long counter();
long long frequency();
void sleepMs(unsigned long ms); // 0 yields

// What the clock reads and how it sleeps; null restores the platform's. The tick
// is milliseconds in 32 bits.
struct Source {
    long long (*counter)();
    long long (*frequency)();
    unsigned int (*tick)();
    void (*sleep)(unsigned long ms);
};
void setSource(const Source* source);

} // namespace clock
} // namespace pf
