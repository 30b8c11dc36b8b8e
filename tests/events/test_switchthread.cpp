// The thread switch: events from many threads arrive once each, in order, on the
// home thread; events that are never delivered are still released once.
#include "loop.h"

#include <pubfunc/switchthread.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

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

// Eight workers post to one switch; a second switch, released with its events
// still queued, releases each once and delivers none.
TEST(ThreadSwitch, WorkerEventsArriveOnceInOrderOnTheHomeThread) {
    constexpr int kWorkers = 8, kEach = 10000, kAll = kWorkers * kEach;
    Tally tally(kAll), unheard(100);
    ISwitchThread* sw = getSwitchThread();
    ISwitchThread* early = getSwitchThread(); // released before its events are pumped
    ASSERT_NE(sw, nullptr);
    sw->eventSignal.connect(&tally, &Tally::on);
    early->eventSignal.connect(&unheard, &Tally::on);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < kEach; ++i)
                sw->postEvent(new Event(&tally, w * kEach + i, w, i));
        });
    for (int i = 0; i < 100; ++i)
        early->postEvent(new Event(&unheard, i, 0, i));
    early->release();
    EXPECT_TRUE(pumpUntil([&] { return tally.total >= kAll; }, std::chrono::seconds(120)));
    for (auto& t : workers)
        t.join();
    pumpUntil([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_EQ(Tally::notOnce(tally.delivered), 0);
    EXPECT_EQ(Tally::notOnce(tally.released), 0);
    EXPECT_EQ(tally.wrongThread, 0);
    EXPECT_EQ(tally.outOfOrder, 0);
    EXPECT_EQ(unheard.total, 0) << "delivered after release";
    EXPECT_EQ(Tally::notOnce(unheard.released), 0);
    sw->release();
}

// Released by a receiver in the middle of a delivery: every event is released
// once, none after release is delivered.
TEST(ThreadSwitch, ReleasedByItsReceiverReleasesEachOnce) {
    Tally mid(10);
    mid.releaseAt = getSwitchThread();
    mid.releaseAt->eventSignal.connect(&mid, &Tally::on);
    for (int i = 0; i < 10; ++i)
        mid.releaseAt->postEvent(new Event(&mid, i, 1, i));
    pumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(mid.total, 4) << "delivered after the switch was released";
    EXPECT_EQ(Tally::notOnce(mid.released), 0);
}

} // namespace
