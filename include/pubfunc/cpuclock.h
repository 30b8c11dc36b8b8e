// CPUClock: the high-resolution time base and precise sleeps.
#pragma once

#include <pubfunc/export.h>

// The system's performance counter read as nanoseconds, 100-nanosecond units or
// milliseconds since the counter's own start, a microsecond clock since
// initClockFreq, and sleeps. Linux: CLOCK_MONOTONIC with a frequency of
// 1,000,000,000, its milliseconds in 32 bits as the tick count, clock_nanosleep.
//
// initClockFreq runs once, before other threads use the clock; until it has run
// the counter conversions use the platform's frequency all the same. Each thread
// that sees the counter go backwards logs one info line a time (the value is
// returned unchanged).
class PUBFUNC_API CPUClock {
public:
    static void initClockFreq();
    static unsigned long long getQPCTimeNS();
    static unsigned long long getQPCTime100NS();
    static unsigned long long getQPCTimeMS();
    // Microseconds since initClockFreq. A counter that runs more than 100 ms away
    // from the system tick count is pulled back towards it, for good: later calls
    // measure from the shifted start. Not locked; concurrent callers may apply one
    // correction twice.
    static unsigned long long OSGetTimeMicroseconds();
    // Sleeps about ms milliseconds: one less on version code 8 (see
    // pubfunc::getOSVersion), which tends to overshoot; OSSleep(0) yields.
    static void OSSleep(unsigned long ms);
    // Sleeps until getQPCTimeNS() reaches targetNs, never waking before it: one
    // coarse sleep that stops short, then 1 ms sleeps, no busy spin. False at
    // once when the target has passed. A target over 10 s away is logged (in
    // milliseconds) and slept all the same.
    static bool sleepToNS(unsigned long long targetNs);
};
