// CPUClock on a counter, tick and sleep the test drives, pubfunc's frame-rate
// counters on a tick the test drives, and the machine-load query over sources of
// the test's choice.
#include <pubfunc/cpuclock.h>
#include <pubfunc/pubfunc.h>
#include <pubfunc/vtqlogger.h>

#include "sys/cpuclock_internal.h"
#include "sys/cpuusage_internal.h"
#include "sys/fps_internal.h"

#include <gtest/gtest.h>

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
        std::tie(g_frequency, g_count, g_tick) = std::tie(frequency, count, tick);
        pf::clock::setSource(&kFakeClock);
        CPUClock::initClockFreq();
    }
    ~FakeClock() { pf::clock::setSource(nullptr); }
};

// The lines of the process's log that contain text, each from after it to the line end.
std::vector<std::string> logLines(const char* path, const std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find(text);
        if (at != std::string::npos)
            out.push_back(line.substr(at + text.size(), line.find('\r') - at - text.size()));
    }
    return out;
}

} // namespace

// Steps from one start, each: counter and tick since the start (the tick wraps
// past 2^32 in the first second), microseconds. A drift of 100 ms either way is
// kept, 101 is corrected for good; a correction is limited to the counter's advance
// since the previous call, a negative one is not. The last step lies 107 days on
// (the tick wrapped twice more), where the counter times 1,000,000 would overflow.
//
// Then conversion rows, each: frequency, counter, then nanoseconds, 100 ns units,
// milliseconds. Values of 2^63 ns and more stay unsigned; at a nanosecond counter
// the millisecond product must not overflow.
TEST(CPUClock, LeapCorrectionAndConversions) {
    const unsigned kStartTick = 0xFFFFFC18u;
    FakeClock leap(1000000, 5000000, kStartTick);
    const std::tuple<long long, unsigned, unsigned long long> steps[] = {
        {1000000, 1000, 1000000}, {2000000, 1900, 2000000},
        {3000000, 2899, 2899000}, {3050000, 2949, 2949000},
        {3060000, 2449, 2949000}, {3070000, 3160, 3160000},
        {3080000, 3270, 3170000}, {9299999910000, 710065408, 9300000000000}};

    for (const auto& [counter, tick, micros] : steps) {
        g_count = 5000000 + counter;
        g_tick = kStartTick + tick;
        EXPECT_EQ(CPUClock::OSGetTimeMicroseconds(), micros) << counter << " " << tick;
    }
    const struct {
        long long frequency, counter;
        unsigned long long ns, hns, ms;
    } rows[] = {
        {10000000, 123456789, 12345678900ull, 123456789, 12345},
        {10000000, 100000000000000000, 10000000000000000000ull, 100000000000000000, 10000000000000},
        {1000000000, 4611686018427387904, 4611686018427387904, 46116860184273880, 4611686018427}};
    for (const auto& [frequency, counter, ns, hns, ms] : rows) {
        FakeClock clock(frequency, counter, 0);
        EXPECT_EQ(CPUClock::getQPCTimeNS(), ns) << frequency << " " << counter;
        EXPECT_EQ(CPUClock::getQPCTime100NS(), hns) << frequency << " " << counter;
        EXPECT_EQ(CPUClock::getQPCTimeMS(), ms) << frequency << " " << counter;
    }
}

// A counter that goes back is logged by the function that read it, with both
// values; another thread's earlier reading does not count. Then the sleeps each call
// asks for, by how far ahead its target lies: none for a target reached; 1 ms steps
// below 2 ms; a coarse sleep, then 1 ms steps; a target 20 s ahead is logged in
// milliseconds. Before initPubfunc the version code is 0 (each test runs in a
// process of its own); on code 8 a coarse sleep is one short.
TEST(CPUClock, BackwardsCheckIsPerThreadThenSleeps) {
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
    const std::tuple<long long, bool, std::vector<unsigned long>> rows[] = {
        // clang-format off
        {0, false, {}}, {-1, false, {}}, {15000, true, {1, 1}}, {55000, true, {5, 1}},
        {200000000, true, {20000}},
        // clang-format on
    };
    for (const auto& [ahead, slept, sleeps] : rows) {
        g_slept.clear();
        EXPECT_EQ(CPUClock::sleepToNS((g_count + ahead) * 100), slept) << ahead;
        EXPECT_EQ(g_slept, sleeps) << ahead;
    }
    EXPECT_EQ(logLines("clock.log", "CPUClock::"),
              (std::vector<std::string>{
                  "getQPCTimeNSGetQPCTimeNS: WTF, clock went backwards! 900 < 1000",
                  "getQPCTime100NSGetQPCTime100NS: WTF, clock went backwards! 800 < 900",
                  "getQPCTimeMSGetQPCTimeMS: WTF, clock went backwards! 700 < 800",
                  "sleepToNSTried to sleep for 20000 seconds, that can't be right! "
                  "Triggering breakpoint."}));
    pubfunc::initPubfunc();
    const unsigned long shave = pubfunc::getOSVersion() == 8 ? 1 : 0;
    g_slept.clear();
    CPUClock::OSSleep(0);
    CPUClock::OSSleep(7);
    EXPECT_EQ(g_slept, (std::vector<unsigned long>{0, 7 - shave}));
}


// The stages, each with its own counter and window (5 or 20 seconds), on a clock
// that wraps past 2^32 ms inside their windows: each starts on its first call; the
// call at a window's end does not log, the next one does; a tick behind a window's
// start (the clock went back) ends nothing. Then one step on a counter of the
// test's: 615 frames in 20,001 ms, 30.7 a second, logged truncated.
TEST(pubfunc, FrameRateWindows) {
    pf::sys::setTickSource([] { return g_tick; });
    std::remove("pubfunc_fps.log");
    ASSERT_TRUE(VTQ::VTQLogger::Instance()->InitLog(W16("./pubfunc_fps.log")));
    void (*const stages[])(const wstring16&) = {
        pubfunc::updatePublishSendFPS, pubfunc::updatePublishCaptureFPS,
        pubfunc::updateBeforeEncodeFPS, pubfunc::updateAfterEncodeFPS};
    for (const unsigned elapsed : {0u, 5000u, 5001u, 20000u, 20001u, 10000u}) {
        g_tick = 0xFFFFE000u + elapsed;
        for (int i = 0; i < 4; ++i)
            stages[i](wstring16(1, wchar16('a' + i)));
    }
    unsigned frames = 614, windowStart = 1000;
    g_tick = 21001;
    pf::sys::updateFps(frames, windowStart, W16("e"), 20000);
    EXPECT_EQ(logLines("pubfunc_fps.log", "pubfunc::_updatePublishFPS  "),
              (std::vector<std::string>{"c AVG_FPS : 0 FPS : 2", "d AVG_FPS : 0 FPS : 2",
                                        "c AVG_FPS : 0 FPS : 1", "d AVG_FPS : 0 FPS : 1",
                                        "a AVG_FPS : 0 FPS : 4", "b AVG_FPS : 0 FPS : 4",
                                        "e AVG_FPS : 30 FPS : 615"}));
}

// A source without the query's entries (on Linux, no such file) gives -1 on every
// call. From a file laid out
// as /proc/stat: no value on the first call (one sample), then the load between two
// samples, busy being all but idle and iowait; no time passed gives no value. The
// Windows query reads the system's counter, which a test cannot feed.
TEST(CpuUsage, MachineLoadQueryProtocol) {
    pf::cpu::LoadQuery* missing = pf::cpu::createLoadQuery(W16("kernel32.dll"));
    EXPECT_EQ(pf::cpu::queryLoad(missing), -1);
    EXPECT_EQ(pf::cpu::queryLoad(missing), -1);
    pf::cpu::destroyLoadQuery(missing);
#if !defined(_WIN32)
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
#endif
}
