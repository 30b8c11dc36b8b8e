// The multimedia timer elsewhere: one timer thread per process, started with the
// first timer, that keeps every timer's next deadline on CLOCK_MONOTONIC.
//
// Deadlines are absolute: tick k of a timer is due at start + k * period, however
// late tick k - 1 was, so lateness never adds up. The thread waits for the next
// deadline with a condition variable over the monotonic clock (an absolute wait,
// as clock_nanosleep with TIMER_ABSTIME would be) so that starting a timer with
// an earlier deadline can wake it. A tick that is late is still delivered, at
// once, so that receivers see one tick per period on average; after a stall of
// more than kMaxBacklog the missed ticks are dropped and the timer restarts its
// schedule from the present.
#include "events/mmtimer.h"

#include "core/libframe.h"

#include <pubfunc/multimediatimer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC
constexpr Clock::duration kMaxBacklog = std::chrono::seconds(1);

struct Timer {
    unsigned int id;
    Clock::duration period;
    Clock::time_point due;
    void* user;
};

struct TimerThread {
    std::mutex lock;
    std::condition_variable wake;
    std::vector<Timer> timers; // under lock
    unsigned int lastId = 0;   // under lock
    bool quit = false;         // under lock
    std::thread thread;

    void run();
    unsigned int nextId();
};

std::atomic<TimerThread*> s_thread{nullptr};
std::mutex s_startLock; // constant-initialised, trivially destroyed

void TimerThread::run() {
    std::unique_lock<std::mutex> guard(lock);
    while (!quit) {
        if (timers.empty()) {
            wake.wait(guard);
            continue;
        }
        auto next = std::min_element(timers.begin(), timers.end(),
                                     [](const Timer& a, const Timer& b) { return a.due < b.due; });
        const Clock::time_point now = Clock::now();
        if (now < next->due) {
            wake.wait_until(guard, next->due);
            continue;
        }
        const unsigned int id = next->id;
        void* user = next->user;
        next->due += next->period;
        if (now - next->due > kMaxBacklog) next->due = now + next->period;
        guard.unlock();
        CMultimediaTimer::onTick(id, user);
        guard.lock();
    }
}

// Identifiers are never 0 and never one that is in use.
unsigned int TimerThread::nextId() {
    for (;;) {
        if (++lastId == 0) continue;
        auto inUse = [&](const Timer& t) { return t.id == lastId; };
        if (std::none_of(timers.begin(), timers.end(), inUse)) return lastId;
    }
}

// At unload: the thread stops and is joined, so no tick runs in a library that is
// gone. (Should the unload run on the timer thread itself, from a receiver that
// ends the process, the thread is left to end with it.)
void teardown() {
    TimerThread* t = s_thread.exchange(nullptr);
    if (!t) return;
    {
        std::lock_guard<std::mutex> guard(t->lock);
        t->quit = true;
    }
    t->wake.notify_all();
    if (t->thread.get_id() == std::this_thread::get_id()) {
        t->thread.detach();
        return;
    }
    t->thread.join();
    delete t;
}

// The thread, started on first use; null when it cannot be started.
TimerThread* timerThread() {
    if (TimerThread* t = s_thread.load(std::memory_order_acquire)) return t;
    std::lock_guard<std::mutex> guard(s_startLock);
    if (TimerThread* t = s_thread.load(std::memory_order_acquire)) return t;
    TimerThread* t = new (std::nothrow) TimerThread;
    if (!t) return nullptr;
    try {
        t->thread = std::thread([t] { t->run(); });
    } catch (...) {
        delete t;
        return nullptr;
    }
    s_thread.store(t, std::memory_order_release);
    pf::frame::atUnload("multimedia timer thread", teardown);
    return t;
}

} // namespace

namespace pf {
namespace mmtimer {

unsigned int setEvent(unsigned int periodMs, void* user) {
    if (periodMs == 0) return 0; // as the system refuses a zero period
    TimerThread* t = timerThread();
    if (!t) return 0;
    const Clock::duration period = std::chrono::milliseconds(periodMs);
    unsigned int id;
    {
        std::lock_guard<std::mutex> guard(t->lock);
        id = t->nextId();
        try {
            t->timers.push_back(Timer{id, period, Clock::now() + period, user});
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    t->wake.notify_one();
    return id;
}

void killEvent(unsigned int id) {
    TimerThread* t = s_thread.load(std::memory_order_acquire);
    if (!t) return;
    std::lock_guard<std::mutex> guard(t->lock);
    auto match = [id](const Timer& x) { return x.id == id; };
    t->timers.erase(std::remove_if(t->timers.begin(), t->timers.end(), match), t->timers.end());
}

} // namespace mmtimer
} // namespace pf
