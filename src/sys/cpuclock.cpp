// CPUClock: counter conversions, the backwards check, the leap-corrected
// microsecond clock and the sleeps, over the platform calls of pf::clock.
#include <pubfunc/cpuclock.h>
#include <pubfunc/pubfunc.h>
#include <pubfunc/vtqlogger.h>

#include "platform/platform.h"
#include "sys/cpuclock_internal.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace {

// Process-wide state, set by initClockFreq. lastDelta keeps 32 bits only.
long long s_frequency = 0;
long long s_startCount = 0;
uint32_t s_startTicks = 0;
uint32_t s_lastDelta = 0;

// The counter value this thread last read, for the backwards check.
thread_local long long s_lastCount = 0;

std::atomic<const pf::clock::Source*> s_source{nullptr};

constexpr long long kDriftLimitMs = 100;
constexpr unsigned long kLongSleepMs = 10000;
constexpr unsigned long long kNsPerMs = 1000000;

long long readCounter() {
    const pf::clock::Source* source = s_source.load(std::memory_order_relaxed);
    return source ? source->counter() : pf::clock::counter();
}

long long frequency() {
    if (s_frequency) return s_frequency;
    const pf::clock::Source* source = s_source.load(std::memory_order_relaxed);
    return source ? source->frequency() : pf::clock::frequency();
}

uint32_t readTick() {
    const pf::clock::Source* source = s_source.load(std::memory_order_relaxed);
    return source ? source->tick() : static_cast<uint32_t>(pf::platform::tickCount());
}

void sleepFor(unsigned long ms) {
    const pf::clock::Source* source = s_source.load(std::memory_order_relaxed);
    if (source)
        source->sleep(ms);
    else
        pf::clock::sleepMs(ms);
}

// Reads the counter and logs, with message, when it is below this thread's last
// reading.
long long checkedCounter(const wchar16* message) {
    const long long now = readCounter();
    if (now < s_lastCount) VTQ::VTQLogger::Instance()->LogInfo(message, now, s_lastCount);
    s_lastCount = now;
    return now;
}

// value × scale ÷ divisor, truncated toward zero, without the overflow of the
// product: on Linux the counter counts nanoseconds, and value × 1,000,000 would
// overflow after two and a half hours. The result is the product's wherever the
// product fits.
template <class T> T scaleDown(T value, T scale, T divisor) {
    return value / divisor * scale + value % divisor * scale / divisor;
}

} // namespace

namespace pf {
namespace clock {

void setSource(const Source* source) {
    s_source.store(source, std::memory_order_relaxed);
}

} // namespace clock
} // namespace pf

void CPUClock::initClockFreq() {
    const pf::clock::Source* source = s_source.load(std::memory_order_relaxed);
    s_frequency = source ? source->frequency() : pf::clock::frequency();
    s_startCount = readCounter();
    s_startTicks = readTick();
    s_lastDelta = 0;
}

// The conversions take the absolute counter, not the time since initClockFreq.
unsigned long long CPUClock::getQPCTimeNS() {
    const long long now = checkedCounter(
        W16("CPUClock::getQPCTimeNSGetQPCTimeNS: WTF, clock went backwards! %I64d < %I64d"));
    return static_cast<unsigned long long>(double(now) * 1e9 / double(frequency()));
}

unsigned long long CPUClock::getQPCTime100NS() {
    const long long now = checkedCounter(
        W16("CPUClock::getQPCTime100NSGetQPCTime100NS: WTF, clock went backwards! %I64d < %I64d"));
    return static_cast<unsigned long long>(double(now) * 1e7 / double(frequency()));
}

unsigned long long CPUClock::getQPCTimeMS() {
    const long long now = checkedCounter(
        W16("CPUClock::getQPCTimeMSGetQPCTimeMS: WTF, clock went backwards! %I64d < %I64d"));
    return scaleDown<unsigned long long>(now, 1000, frequency());
}

// drift is how far the counter has run ahead of the tick count since
// initClockFreq, in 32-bit arithmetic read as signed, so that the tick's wrap is
// harmless. A correction never moves the start by more than the counter advanced
// since the previous call (measured on the low 32 bits kept of that call's delta).
unsigned long long CPUClock::OSGetTimeMicroseconds() {
    const long long f = frequency();
    long long delta = readCounter() - s_startCount;
    const uint32_t qpcMs = static_cast<uint32_t>(scaleDown<long long>(delta, 1000, f));
    const int32_t drift = static_cast<int32_t>(s_startTicks + qpcMs - readTick());
    if (drift < -kDriftLimitMs || drift > kDriftLimitMs) {
        const long long adjust = std::min(static_cast<long long>(drift) * f / 1000,
                                          delta - static_cast<long long>(s_lastDelta));
        s_startCount += adjust;
        delta -= adjust;
    }
    s_lastDelta = static_cast<uint32_t>(delta);
    return static_cast<unsigned long long>(scaleDown<long long>(delta, 1000000, f));
}

void CPUClock::OSSleep(unsigned long ms) {
    if (pubfunc::getOSVersion() == 8)
        sleepFor(ms ? ms - 1 : 0);
    else
        sleepFor(ms);
}

bool CPUClock::sleepToNS(unsigned long long targetNs) {
    const unsigned long long now = getQPCTimeNS();
    if (now >= targetNs) return false;
    const unsigned long ms = static_cast<uint32_t>((targetNs - now) / kNsPerMs);
    if (ms > 1) {
        if (ms > kLongSleepMs)
            VTQ::VTQLogger::Instance()->LogError(
                W16("CPUClock::sleepToNSTried to sleep for %u seconds, that can't be right! "
                    "Triggering breakpoint."),
                unsigned(ms));
        OSSleep(ms);
    }
    while (getQPCTimeNS() < targetNs)
        sleepFor(1);
    return true;
}
