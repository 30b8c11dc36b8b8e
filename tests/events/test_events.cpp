// The events family. Signals and slots: receivers' lifetimes, call order,
// re-entry, and emission from many threads while others connect and disconnect.
// The multimedia timer's schedule and stop. What runs on the host's event loop:
// thread timers ticking from the loop of the thread that set them, and the thread
// switch, whose events from many threads arrive once each, in order, on the home
// thread, and whose events never delivered are still released once. The tests run
// the loop as a host must: messages on Windows, the thread-default GLib context
// elsewhere.
#include <pubfunc/multimediatimer.h>
#include <pubfunc/sigslot.h>
#include <pubfunc/switchthread.h>
#include <pubfunc/wintimer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <glib.h>
#endif

using Signal = xsignals::signal<void()>;

// Two signals and two receivers that write their names into one log.
struct World {
    struct Named : sigslot::has_slots {
        Named(World* w, char name) : w(w), name(name) {}
        void on() { w->log += name; }
        void again() { // emits s once more from inside its own call
            w->log += name;
            if (w->log.size() == 1) w->s.emit();
        }
        World* w;
        char name;
    };
    std::string log;
    Signal s, t;
    Named a{this, 'a'}, b{this, 'b'};
    void link(Signal& sig, std::initializer_list<Named*> rs) {
        for (Named* r : rs)
            sig.connect(r, &Named::on);
    }
};

struct Case {
    const char *want, *what;
    void (*run)(World&);
};

const Case kCases[] = {
    {"abb3", "in connection order, once a connection; a destroyed receiver is purged, not called",
     [](World& w) {
         auto gone = std::make_unique<World::Named>(&w, 'x');
         w.link(w.s, {gone.get(), &w.a, &w.b, &w.b});
         gone.reset();
         w.s.emit();
         w.log += std::to_string(w.s.connection_count());
     }},
    {"2babba", "disconnect ends a receiver's connections to one signal, disconnect_all to all",
     [](World& w) {
         w.link(w.s, {&w.a, &w.b, &w.a});
         w.link(w.t, {&w.a});
         w.log += std::to_string(w.s.disconnect(&w.a));
         w.s.emit();
         w.t.emit();
         w.a.disconnect_all(); // then the later connection stands
         w.t.emit();
         w.s.emit();
         w.link(w.s, {&w.a});
         w.s.emit();
     }},
    {"aabb", "a receiver that emits its own signal works on a snapshot of its own",
     [](World& w) {
         w.s.connect(&w.a, &World::Named::again);
         w.link(w.s, {&w.b});
         w.s.emit();
     }},
    {"yy0", "holders copied and assigned each own one connection",
     [](World& w) {
         using Holder = sigslot::_connection_base::connection_holder;
         using Conn = sigslot::_connection<World::Named, World::Named>;
         Holder h1(new Conn(w.a.get_receiver(), &World::Named::on)), h3(h1), h2;
         h2 = h1;
         h1 = std::move(h3);
         Holder& same = h1;
         h1 = same;
         for (Holder* h : {&h1, &h2})
             w.log += (*h)->getdest() == &w.a ? "y" : "n";
         w.log += h3 == nullptr ? "0" : "?";
     }},
};

TEST(Sigslot, ReceiversOrderAndLifetime) {
    for (const Case& c : kCases) {
        World w;
        c.run(w);
        EXPECT_EQ(w.log, c.want) << c.what;
    }
}

// Four threads emit while two others connect their receivers and end their
// connections. Each emitting thread also makes receivers of its own, which only it
// emits to and destroys: once their disconnect_all has returned they must not be
// called again. A receiver connected before the threads counts every emission.
TEST(Sigslot, EmitWhileConnectingRace) {
    constexpr int kEmitters = 4, kEmissions = 100000, kReceivers = 8;
    struct Counter : sigslot::has_slots {
        std::atomic<int> calls{0}, callsAfterCut{0};
        std::atomic<bool> cut{false};
        void on() { callsAfterCut += cut, ++calls; }
    };
    Signal shared, own[kEmitters];
    Counter sentinel, connectors[2][kReceivers];
    shared.connect(&sentinel, &Counter::on);
    std::atomic<int> emitting{kEmitters}, lateCalls{0};
    std::vector<std::thread> threads;
    for (int e = 0; e < kEmitters; ++e)
        threads.emplace_back([&, e] {
            for (int i = 0; i < kEmissions; ++i) {
                shared.emit();
                own[e].emit();
                if (i % 512 != 0) continue;
                auto mine = std::make_unique<Counter>();
                own[e].connect(mine.get(), &Counter::on);
                own[e].emit();
                if (i % 1024 == 0) continue; // destroyed while still connected
                mine->disconnect_all();
                mine->cut = true;
                own[e].emit();
                lateCalls += mine->callsAfterCut;
            }
            --emitting;
        });
    for (Counter* set : connectors)
        threads.emplace_back([&, set] {
            for (int round = 0; emitting > 0; ++round) {
                for (int r = 0; r < kReceivers; ++r) {
                    shared.connect(&set[r], &Counter::on);
                    own[(round + r) % kEmitters].connect(&set[r], &Counter::on);
                }
                std::this_thread::yield();
                for (int r = 0; r < kReceivers; ++r)
                    if (r % 2 == 0)
                        set[r].disconnect_all();
                    else
                        for (Signal* sig : {&shared, &own[(round + r) % kEmitters]})
                            sig->disconnect(&set[r]);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(sentinel.calls, kEmitters * kEmissions);
    EXPECT_EQ(lateCalls, 0);
}

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Dispatches events until done() holds or timeout passes (with done() false: for
// timeout); returns done().
template <class F> bool pumpUntil(F done, milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (!done() && Clock::now() < end) {
#if defined(_WIN32)
        MSG msg;
        const bool any = PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
        if (any) DispatchMessageW(&msg);
#else
        const bool any = g_main_context_iteration(g_main_context_get_thread_default(), FALSE);
#endif
        if (!any) std::this_thread::sleep_for(milliseconds(1));
    }
    return done();
}

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
static CSingleTimer g_single;

static void CALLBACK forward(HWND, UINT, UINT_PTR id, DWORD) {
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

// The receiver, with counts per event number.
struct Tally : sigslot::has_slots {
    explicit Tally(int n) : delivered(n), released(n) {}
    std::vector<std::atomic<int>> delivered, released;
    std::vector<int> lastSeq = std::vector<int>(8, -1);
    std::thread::id home = std::this_thread::get_id();
    int wrongThread = 0, outOfOrder = 0, total = 0;
    ISwitchThread* releaseAt = nullptr; // released by the receiver at event 3
    void on(CSwitchEvent* e);
    static long notOnce(const std::vector<std::atomic<int>>& counts) {
        return std::count_if(counts.begin(), counts.end(), [](const auto& c) { return c != 1; });
    }
};

struct Event : CSwitchEvent {
    Event(Tally* tally, int number, int worker, int seq)
        : tally(tally), number(number), worker(worker), seq(seq) {}
    void release() override {
        ++tally->released[number];
        delete this;
    }
    Tally* tally;
    int number, worker, seq;
};

void Tally::on(CSwitchEvent* e) {
    Event* ev = static_cast<Event*>(e);
    ++delivered[ev->number];
    ++total;
    wrongThread += std::this_thread::get_id() != home;
    outOfOrder += ev->seq != lastSeq[ev->worker] + 1;
    lastSeq[ev->worker] = ev->seq;
    if (releaseAt && ev->number == 3) releaseAt->release();
}

// Eight workers post to one switch. Two more are released with events still queued,
// one before the loop runs and one by its receiver at event 3: each releases every
// event once and delivers none after its release.
TEST(ThreadSwitch, WorkerEventsArriveOnceInOrderOnTheHomeThread) {
    constexpr int kWorkers = 8, kEach = 10000, kAll = kWorkers * kEach;
    Tally tally(kAll), unheard(10), mid(10);
    ISwitchThread* sw = getSwitchThread();
    ISwitchThread* early = getSwitchThread(); // released before its events are pumped
    ASSERT_NE(sw, nullptr);
    mid.releaseAt = getSwitchThread();
    sw->eventSignal.connect(&tally, &Tally::on);
    early->eventSignal.connect(&unheard, &Tally::on);
    mid.releaseAt->eventSignal.connect(&mid, &Tally::on);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < kEach; ++i)
                sw->postEvent(new Event(&tally, w * kEach + i, w, i));
        });
    for (int i = 0; i < 10; ++i) {
        early->postEvent(new Event(&unheard, i, 0, i));
        mid.releaseAt->postEvent(new Event(&mid, i, 1, i));
    }
    early->release();
    EXPECT_TRUE(pumpUntil([&] { return tally.total >= kAll; }, std::chrono::seconds(120)));
    for (auto& t : workers)
        t.join();
    pumpUntil([] { return false; }, milliseconds(20));
    EXPECT_EQ(Tally::notOnce(tally.delivered), 0);
    EXPECT_EQ(Tally::notOnce(tally.released), 0);
    EXPECT_EQ(tally.wrongThread, 0);
    EXPECT_EQ(tally.outOfOrder, 0);
    EXPECT_EQ(unheard.total, 0) << "delivered after release";
    EXPECT_EQ(Tally::notOnce(unheard.released), 0);
    EXPECT_EQ(mid.total, 4) << "delivered after the switch was released by its receiver";
    EXPECT_EQ(Tally::notOnce(mid.released), 0);
    sw->release();
}
