// CPUClock on a counter, tick and sleep the test drives, and the machine-load
// query over sources of the test's choice.
#include <pubfunc/cpuclock.h>
#include <pubfunc/pubfunc.h>
#include <pubfunc/vtqlogger.h>

#include "sys/cpuclock_internal.h"
#include "sys/cpuusage_internal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

long long g_count = 0, g_frequency = 1000000;
unsigned g_tick = 0;
std::vector<unsigned long> g_slept;

// A sleep advances the counter by exactly its milliseconds.
const pf::clock::Source kFakeClock = {[] { return g_count; }, [] { return g_frequency; },
                                      [] { return g_tick; },
                                      [](unsigned long ms) {
                                          g_slept.push_back(ms);
                                          g_count += (long long)ms * g_frequency / 1000;
                                      }};

struct FakeClock {
    FakeClock(long long frequency, long long count, unsigned tick) {
        g_frequency = frequency;
        g_count = count;
        g_tick = tick;
        pf::clock::setSource(&kFakeClock);
        CPUClock::initClockFreq();
    }
    ~FakeClock() { pf::clock::setSource(nullptr); }
};

// The lines of the process's log that contain text, from it on.
std::vector<std::string> logLines(const char* path, const std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        if (line.find(text) != std::string::npos)
            out.push_back(line.substr(line.find(text), line.find('\r') - line.find(text)));
    return out;
}

} // namespace

// Steps from one start, each: counter and tick since the start (the tick wraps
// past 2^32 in the first second), microseconds. A drift of 100 ms either way is
// kept, 101 is corrected for good; a correction is limited to the counter's advance
// since the previous call, a negative one is not.
TEST(CPUClock, LeapCorrectionAgainstTheTick) {
    const unsigned kStartTick = 0xFFFFFC18u;
    FakeClock clock(1000000, 5000000, kStartTick);
    const std::tuple<long long, unsigned, unsigned long long> steps[] = {
        {1000000, 1000, 1000000}, {2000000, 1900, 2000000}, {3000000, 2899, 2899000},
        {3050000, 2949, 2949000}, {3060000, 2449, 2949000}, {3070000, 3160, 3160000},
        {3080000, 3270, 3170000}};
    for (const auto& [counter, tick, micros] : steps) {
        g_count = 5000000 + counter;
        g_tick = kStartTick + tick;
        EXPECT_EQ(CPUClock::OSGetTimeMicroseconds(), micros) << counter << " " << tick;
    }
}

// Each row: frequency, counter, then nanoseconds, 100 ns units, milliseconds. Values
// of 2^63 ns and more stay unsigned; at a nanosecond counter the millisecond and
// microsecond products must not overflow (three hours since the start here).
TEST(CPUClock, CounterConversions) {
    const std::tuple<long long, long long, unsigned long long, unsigned long long,
                     unsigned long long>
        rows[] = {{10000000, 123456789, 12345678900ull, 123456789, 12345},
                  {10000000, 100000000000000000, 10000000000000000000ull, 100000000000000000,
                   10000000000000},
                  {1000000000, 4611686018427387904, 4611686018427387904ull, 46116860184273880ull,
                   4611686018427ull}};
    for (const auto& [frequency, counter, ns, hns, ms] : rows) {
        FakeClock clock(frequency, counter, 0);
        EXPECT_EQ(CPUClock::getQPCTimeNS(), ns) << frequency << " " << counter;
        EXPECT_EQ(CPUClock::getQPCTime100NS(), hns) << frequency << " " << counter;
        EXPECT_EQ(CPUClock::getQPCTimeMS(), ms) << frequency << " " << counter;
    }
    FakeClock clock(1000000000, 0, 0);
    g_count = 10800000000000;
    g_tick = 10800000;
    EXPECT_EQ(CPUClock::OSGetTimeMicroseconds(), 10800000000ull);
}

// A counter that goes back is logged by the function that read it, with both
// values; another thread's earlier reading does not count.
TEST(CPUClock, BackwardsCheckIsPerThread) {
    std::remove("clock.log");
    ASSERT_TRUE(VTQ::VTQLogger::Instance()->InitLog(W16("./clock.log")));
    FakeClock clock(10000000, 1000, 0);
    CPUClock::getQPCTimeNS();
    g_count = 900;
    CPUClock::getQPCTimeNS();
    g_count = 800;
    CPUClock::getQPCTime100NS();
    g_count = 700;
    CPUClock::getQPCTimeMS();
    std::thread([] { CPUClock::getQPCTimeNS(); }).join();
    EXPECT_EQ(logLines("clock.log", "CPUClock::"),
              (std::vector<std::string>{
                  "CPUClock::getQPCTimeNSGetQPCTimeNS: WTF, clock went backwards! 900 < 1000",
                  "CPUClock::getQPCTime100NSGetQPCTime100NS: WTF, clock went backwards! 800 < 900",
                  "CPUClock::getQPCTimeMSGetQPCTimeMS: WTF, clock went backwards! 700 < 800"}));
}

// The sleeps each call asks for, by how far ahead its target lies: none for a
// target reached; 1 ms steps below 2 ms; a coarse sleep, one short on version code
// 8, then 1 ms steps. A target 20 s ahead is logged in milliseconds.
TEST(CPUClock, SleepsOnTheFakeClock) {
    std::remove("sleep.log");
    ASSERT_TRUE(VTQ::VTQLogger::Instance()->InitLog(W16("./sleep.log")));
    pubfunc::initPubfunc();
    const unsigned long shave = pubfunc::getOSVersion() == 8 ? 1 : 0;
    FakeClock clock(10000000, 50000000, 0);
    const std::tuple<long long, bool, std::vector<unsigned long>> rows[] = {
        {0, false, {}},
        {-1, false, {}},
        {15000, true, {1, 1}},
        {55000, true,
         shave ? std::vector<unsigned long>{4, 1, 1} : std::vector<unsigned long>{5, 1}},
        {200000000, true,
         shave ? std::vector<unsigned long>{19999, 1} : std::vector<unsigned long>{20000}}};
    for (const auto& [ahead, slept, sleeps] : rows) {
        g_slept.clear();
        EXPECT_EQ(CPUClock::sleepToNS((g_count + ahead) * 100), slept) << ahead;
        EXPECT_EQ(g_slept, sleeps) << ahead;
    }
    g_slept.clear();
    CPUClock::OSSleep(0);
    CPUClock::OSSleep(7);
    EXPECT_EQ(g_slept, (std::vector<unsigned long>{0, 7 - shave}));
    EXPECT_EQ(logLines("sleep.log", "CPUClock::"),
              std::vector<std::string>{"CPUClock::sleepToNSTried to sleep for 20000 seconds, that "
                                       "can't be right! Triggering breakpoint."});
}

#if defined(_WIN32)
const wstring16 kNoEntries = W16("kernel32.dll");
#else
const wstring16 kNoEntries = W16("/nonexistent/stat");
#endif

// A source without the query's entries gives -1 on every call; the real one gives a
// load in percent from its second call on. Its first call has no value on Linux (one
// sample); Wine's performance-data library answers a fixed 5 from the first
// collection on.
TEST(CpuUsage, MachineLoadQueryProtocol) {
    pf::cpu::LoadQuery* missing = pf::cpu::createLoadQuery(kNoEntries);
    EXPECT_EQ(pf::cpu::queryLoad(missing), -1);
    EXPECT_EQ(pf::cpu::queryLoad(missing), -1);
    pf::cpu::destroyLoadQuery(missing);
    pf::cpu::LoadQuery* real = pf::cpu::createLoadQuery(pf::cpu::defaultLoadSource());
    const int first = pf::cpu::queryLoad(real);
    (void)first; // only Linux knows its value
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int second = pf::cpu::queryLoad(real);
    pf::cpu::destroyLoadQuery(real);
#if !defined(_WIN32)
    EXPECT_EQ(first, -1);
#endif
    EXPECT_GE(second, 0);
    EXPECT_LE(second, 100);
}

#if !defined(_WIN32)
// The load between two samples of a file laid out as /proc/stat: busy is all but
// idle and iowait; no time passed gives no value. Linux only: the Windows query
// reads the system's counter, which a test cannot feed.
TEST(CpuUsage, MachineLoadFromStatLines_Posix) {
    std::ofstream("fake_stat") << "cpu 100 0 100 700 100 0 0 0 0 0\ncpu0 1 2 3 4\n";
    pf::cpu::LoadQuery* query = pf::cpu::createLoadQuery(W16("fake_stat"));
    for (const auto& [line, load] : {std::pair{"cpu 100 0 100 700 100 0 0 0 0 0", -1},
                                     {"cpu 150 10 140 790 110 0 0 0 0 0", 50},
                                     {"cpu 150 10 140 790 110 0 0 0 0 0", -1},
                                     {"cpu 151 10 140 791 110 0 0 1 0 0", 67}}) {
        std::ofstream("fake_stat") << line << "\n";
        EXPECT_EQ(pf::cpu::queryLoad(query), load) << line;
    }
    pf::cpu::destroyLoadQuery(query);
}
#endif
