// The thread switch: events from many threads arrive once each, in order, on the
// home thread; events that are never delivered are still released once.
#include "loop.h"

#include <pubfunc/switchthread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Counts per event, indexed by the event's number.
struct Tally {
    explicit Tally(int n)
        : delivered(new std::atomic<int>[n]()), released(new std::atomic<int>[n]()) {}
    std::unique_ptr<std::atomic<int>[]> delivered, released;
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

struct Receiver : sigslot::has_slots {
    Tally* tally = nullptr;
    std::thread::id home = std::this_thread::get_id();
    std::vector<int> lastSeq = std::vector<int>(8, -1);
    int wrongThread = 0, outOfOrder = 0, total = 0;
    ISwitchThread* releaseAt = nullptr; // released by the receiver at event 3
    void on(CSwitchEvent* e) {
        Event* ev = static_cast<Event*>(e);
        ++tally->delivered[ev->number];
        ++total;
        wrongThread += std::this_thread::get_id() != home;
        outOfOrder += ev->seq != lastSeq[ev->worker] + 1;
        lastSeq[ev->worker] = ev->seq;
        if (releaseAt && ev->number == 3) releaseAt->release();
    }
};

int countNot(const std::unique_ptr<std::atomic<int>[]>& counts, int n, int want) {
    int wrong = 0;
    for (int i = 0; i < n; ++i)
        wrong += counts[i] != want;
    return wrong;
}

TEST(ThreadSwitch, WorkerEventsArriveOnceInOrderOnTheHomeThread) {
    constexpr int kWorkers = 8, kEach = 10000, kAll = kWorkers * kEach, kSilent = 100;
    Tally tally(kAll + kSilent);
    ISwitchThread* sw = getSwitchThread();
    ISwitchThread* silent = getSwitchThread(); // no receivers
    ASSERT_NE(sw, nullptr);
    Receiver r;
    r.tally = &tally;
    sw->eventSignal.connect(&r, &Receiver::on);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < kEach; ++i)
                sw->postEvent(new Event(&tally, w * kEach + i, w, i));
        });
    for (int i = 0; i < kSilent; ++i)
        silent->postEvent(new Event(&tally, kAll + i, 0, 0));
    EXPECT_TRUE(pumpUntil([&] { return r.total >= kAll; }, std::chrono::seconds(120)));
    for (auto& t : workers)
        t.join();
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(r.total, kAll);
    EXPECT_EQ(countNot(tally.delivered, kAll, 1), 0);
    EXPECT_EQ(countNot(tally.released, kAll + kSilent, 1), 0);
    EXPECT_EQ(r.wrongThread, 0);
    EXPECT_EQ(r.outOfOrder, 0);
    sw->release();
    silent->release();
}

// Released with events queued, and released by a receiver in the middle of a
// delivery: every event is released once, none after release is delivered.
TEST(ThreadSwitch, ReleaseWithEventsQueuedReleasesEachOnce) {
    constexpr int kQueued = 1000, kMid = 10;
    Tally tally(kQueued);
    Receiver r;
    r.tally = &tally;
    ISwitchThread* sw = getSwitchThread();
    sw->eventSignal.connect(&r, &Receiver::on);
    std::thread worker([&] {
        for (int i = 0; i < kQueued; ++i)
            sw->postEvent(new Event(&tally, i, 0, i));
    });
    worker.join();
    sw->release();
    EXPECT_EQ(r.total, 0);
    EXPECT_EQ(countNot(tally.released, kQueued, 1), 0);

    Tally midTally(kMid);
    r.tally = &midTally;
    r.total = 0;
    ISwitchThread* mid = getSwitchThread();
    mid->eventSignal.connect(&r, &Receiver::on);
    r.releaseAt = mid;
    for (int i = 0; i < kMid; ++i)
        mid->postEvent(new Event(&midTally, i, 1, i));
    pumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(r.total, 4) << "delivered after the switch was released";
    EXPECT_EQ(countNot(midTally.released, kMid, 1), 0);
}

} // namespace
