// The thread switch: events from many threads arrive once each, in order, on the
// home thread; events that are never delivered are still released once.
#include "loop.h"

#include <pubfunc/switchthread.h>

#include <gtest/gtest.h>

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
    static int notOnce(const std::vector<std::atomic<int>>& counts) {
        int wrong = 0;
        for (const auto& c : counts)
            wrong += c != 1;
        return wrong;
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

TEST(ThreadSwitch, WorkerEventsArriveOnceInOrderOnTheHomeThread) {
    constexpr int kWorkers = 8, kEach = 10000, kAll = kWorkers * kEach;
    Tally tally(kAll), unheard(100);
    ISwitchThread* sw = getSwitchThread();
    ISwitchThread* silent = getSwitchThread(); // no receivers
    ASSERT_NE(sw, nullptr);
    sw->eventSignal.connect(&tally, &Tally::on);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < kEach; ++i)
                sw->postEvent(new Event(&tally, w * kEach + i, w, i));
        });
    for (int i = 0; i < 100; ++i)
        silent->postEvent(new Event(&unheard, i, 0, i));
    EXPECT_TRUE(pumpUntil([&] { return tally.total >= kAll; }, std::chrono::seconds(120)));
    for (auto& t : workers)
        t.join();
    pumpUntil([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_EQ(Tally::notOnce(tally.delivered), 0);
    EXPECT_EQ(Tally::notOnce(tally.released), 0);
    EXPECT_EQ(Tally::notOnce(unheard.released), 0);
    EXPECT_EQ(tally.wrongThread, 0);
    EXPECT_EQ(tally.outOfOrder, 0);
    sw->release();
    silent->release();
}

// Released with events queued, and released by a receiver in the middle of a
// delivery: every event is released once, none after release is delivered.
TEST(ThreadSwitch, ReleaseWithEventsQueuedReleasesEachOnce) {
    Tally queued(1000), mid(10);
    ISwitchThread* sw = getSwitchThread();
    sw->eventSignal.connect(&queued, &Tally::on);
    std::thread worker([&] {
        for (int i = 0; i < 1000; ++i)
            sw->postEvent(new Event(&queued, i, 0, i));
    });
    worker.join();
    sw->release();
    EXPECT_EQ(queued.total, 0);
    EXPECT_EQ(Tally::notOnce(queued.released), 0);

    mid.releaseAt = getSwitchThread();
    mid.releaseAt->eventSignal.connect(&mid, &Tally::on);
    for (int i = 0; i < 10; ++i)
        mid.releaseAt->postEvent(new Event(&mid, i, 1, i));
    pumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(mid.total, 4) << "delivered after the switch was released";
    EXPECT_EQ(Tally::notOnce(mid.released), 0);
}

} // namespace
