// The multimedia timer's schedule and stop, and thread timers ticking from the
// event loop of the thread that set them.
#include "loop.h"

#include <pubfunc/multimediatimer.h>
#include <pubfunc/wintimer.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
constexpr milliseconds kGenerous{10000};
// Windows' multimedia timer keeps its schedule on a clock of whole milliseconds,
// so against a finer clock a tick may be due up to 1 ms before k periods have
// passed; the library's own timer thread schedules on the finer clock itself.
#if defined(_WIN32)
constexpr milliseconds kSystemGrain{1};
#else
constexpr milliseconds kSystemGrain{0};
#endif

struct Ticks : sigslot::has_slots {
    std::vector<Clock::time_point> at; // written on the timer thread, read after stop
    std::atomic<int> count{0}, entered{0}, afterStop{0};
    std::atomic<bool> stopped{false};
    // Connected first, it holds each tick in progress for a while, so that stop
    // can land in the middle of one.
    void slow() {
        ++entered;
        std::this_thread::sleep_for(milliseconds(8));
    }
    void on() {
        afterStop += stopped;
        if (at.size() < 20) at.push_back(Clock::now());
        ++count;
    }
};

TEST(MultimediaTimer, TicksNoEarlierThanScheduleAndNoneAfterStop) {
    IMultimediaTimer* timer = getMultimediaTimer();
    ASSERT_NE(timer, nullptr);
    Ticks ticks;
    timer->timerSignal.connect(&ticks, &Ticks::slow);
    timer->timerSignal.connect(&ticks, &Ticks::on);
    EXPECT_FALSE(timer->start(0));
    EXPECT_FALSE(timer->isRunning());
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(timer->start(10));
    EXPECT_TRUE(timer->start(1000)); // keeps 10 ms: 20 ticks of 1 s would not fit the wait
    EXPECT_TRUE(timer->isRunning());
    while (ticks.count < 20 && Clock::now() - start < kGenerous)
        std::this_thread::sleep_for(milliseconds(5));
    for (const int entered = ticks.entered; ticks.entered == entered;) // a tick has begun
        std::this_thread::sleep_for(milliseconds(1));
    timer->stop();
    ticks.stopped = true;
    EXPECT_FALSE(timer->isRunning());
    ASSERT_EQ(ticks.at.size(), 20u);
    for (size_t k = 1; k <= 20; ++k) // in the steady clock's units
        EXPECT_GE((ticks.at[k - 1] - start).count(),
                  Clock::duration(k * milliseconds(10) - kSystemGrain).count())
            << "tick " << k;
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(ticks.afterStop, 0);
    timer->release();
}

// Receives CWinTimer ticks, and CSingleTimer ticks through g_single.
struct Func : ITimerFunc, ISingleTimerFunc {
    std::vector<UINT_PTR> ids;
    bool killOnTick = false;
    void OnTimer(UINT_PTR id) override {
        ids.push_back(id);
        if (killOnTick) CWinTimer::KillTimer(id);
    }
};
CSingleTimer g_single;

void CALLBACK forward(HWND, UINT, UINT_PTR id, DWORD) {
    g_single.OnTimer(id);
}

// No tick before the loop runs; a killed timer never ticks; one kills itself from
// its tick; each tick carries its own timer's identifier; a single timer's host
// procedure reaches the last watcher only, and nobody after revoke.
TEST(ThreadTimers, TickFromTheLoopRoutedByIdentifier) {
    Func a, b, c, first, second;
    c.killOnTick = true;
    g_single.watch(&first);
    g_single.watch(&second);
    const UINT_PTR ids[] = {CWinTimer::SetTimer(10, &a), CWinTimer::SetTimer(10, &b),
                            CWinTimer::SetTimer(1, &c), g_single.SetTimer(10, forward)};
    for (UINT_PTR id : ids)
        ASSERT_NE(id, 0u);
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_TRUE(a.ids.empty()) << "ticked without the loop";
    CWinTimer::KillTimer(ids[1]);
    CWinTimer::KillTimer(0);
    EXPECT_TRUE(pumpUntil(
        [&] { return a.ids.size() >= 3 && !c.ids.empty() && !second.ids.empty(); }, kGenerous));
    CWinTimer::KillTimer(ids[0]);
    g_single.KillTimer(ids[3]);
    g_single.revoke();
    g_single.OnTimer(ids[3]);
    const size_t ticked = a.ids.size(), singleTicked = second.ids.size();
    pumpUntil([] { return false; }, milliseconds(60));
    EXPECT_EQ(a.ids, std::vector<UINT_PTR>(ticked, ids[0])) << "ticked after KillTimer";
    EXPECT_TRUE(b.ids.empty());
    EXPECT_EQ(c.ids, std::vector<UINT_PTR>{ids[2]});
    EXPECT_TRUE(first.ids.empty());
    EXPECT_EQ(second.ids, std::vector<UINT_PTR>(singleTicked, ids[3]))
        << "after KillTimer or revoke";
}

} // namespace
