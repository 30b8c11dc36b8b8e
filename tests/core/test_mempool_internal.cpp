// The memory pool: mp_enable, mp_alloc, mp_free, mp_size, mp_realloc and the report
// hook, and from inside the library its chunk table, fall-backs and creation. Every
// pool test starts from a fresh, empty pool and sees the reports through the hook.
// Then the library's load/unload list and its logger after the clean-up.
#include "alloc_probe.h"
#include "core/libframe.h"
#include "core/mempool_internal.h"
#include "core/threads.h"
#include "diag/logger_internal.h"
#include <pubfunc/mempool.h>
#include <pubfunc/vtqlogger.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

// The standard allocator's own count of a block's bytes, not the pool's.
#if defined(_WIN32)
#define malloc_usable_size _msize
#endif

using namespace pf::mempool;

namespace {

unsigned char* alloc(size_t n) {
    return static_cast<unsigned char*>(mp_alloc(n));
}

// Reports are copied without allocating, so that a test can count the allocations
// a report makes. The pool reports under its lock, and threads are joined before a
// test reads the copies, so they need no lock of their own.
using Reports = std::vector<std::string>;
char g_reports[8][64];
int g_reportCount = 0;

class MemPool : public ::testing::Test {
protected:
    void SetUp() override {
        teardown();
        mp_enable(true);
        mp_set_report_hook([](const wchar16* text) { // every report is short ASCII
            char* to = g_reports[g_reportCount++ % 8];
            size_t i = 0;
            for (; text[i] && i < 63; ++i)
                to[i] = char(text[i]);
            to[i] = 0;
        });
        take();
    }
    void TearDown() override { // every report a test causes is one it expects
        EXPECT_EQ(take(), Reports());
        mp_set_report_hook(nullptr);
        setChunkLimit(1024);
        setPageSource(nullptr);
    }
    // What was reported since the last call.
    static Reports take() {
        const Reports seen(g_reports, g_reports + std::min(g_reportCount, 8));
        g_reportCount = 0;
        return seen;
    }
    // A report of `format` about p, `times` over, as the pool words it: %08X of the
    // address's low 32 bits.
    static Reports one(const char* format, const void* p, int times = 1) {
        char text[128];
        std::snprintf(text, sizeof text, format, unsigned(reinterpret_cast<uintptr_t>(p)));
        return Reports(size_t(times), text);
    }
};

constexpr const char* kAllocCorrupt = "mp_alloc - detect block 0x%08X corrupt!";
constexpr const char* kFreeCorrupt = "mp_free - detect block 0x%08X corrupt!";
constexpr const char* kRepeatFree = "mp_free - repeat free block 0x%08X!";
constexpr const char* kNotInPool = "mp_free - block 0x%08X not in mem pool!";
} // namespace

// Each request gets the smallest class that holds it, 0 counting as 1. Each fault is
// reported once, with the address it concerns, and leaves the free lists sound:
// afterwards every block is handed out exactly once.
TEST_F(MemPool, ClassesFitTheRequestAndFaultsAreReportedAndContained) {
    void* const foreign = &g_reportCount; // an address not in the pool
    int below = -1;
    for (int size : {8, 16, 24, 32, 48, 64, 80, 96, 128, 160, 192, 224, 256}) {
        SCOPED_TRACE(size);
        unsigned char* p = alloc(below + 1);
        below = size;
        EXPECT_EQ(mp_size(p), size);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 4, 0u);
        p[size] = 0; // one byte past the block: the guard word
        mp_free(p);
        EXPECT_EQ(take(), one(kFreeCorrupt, p)); // and freed all the same
        const int allocations = g_allocations;
        mp_free(p);
        EXPECT_EQ(g_allocations, allocations) << "a report allocated";
        EXPECT_EQ(take(), one(kRepeatFree, p));
        p[size] = 0; // written to while free: reported when handed out, then repaired
        EXPECT_EQ(alloc(size), p);
        EXPECT_EQ(take(), one(kAllocCorrupt, p));
        unsigned char* other = alloc(size);
        EXPECT_NE(other, p);

        std::memset(p, 0x5A, size); // all of it is usable: the guard lies beyond
        for (unsigned char* stray : {p + 1, p + 2, p + 4, p - 1}) { // into the pool, off a start
            mp_free(stray);
            EXPECT_EQ(mp_size(stray), 0);
            EXPECT_EQ(mp_realloc(stray, 1), nullptr);
            EXPECT_EQ(take(), one(kNotInPool, stray, 3));
        }
        EXPECT_EQ(std::count(p, p + size, 0x5A), size);
        p[-2] ^= 0x40; // the header names another chunk: not a block any more
        mp_free(p);
        EXPECT_EQ(take(), one(kNotInPool, p));
        p[-2] ^= 0x40;
        mp_free(other);
        mp_free(p);
        EXPECT_EQ(alloc(size), p); // no stray pointer joined the free list
        EXPECT_EQ(alloc(size), other);
        mp_free(other);
        mp_free(p); // p's link names other; a foreign link is judged before it is followed:
        std::memcpy(p, &foreign, sizeof foreign); // reported, and the list ends there
        EXPECT_EQ(alloc(size), p);
        EXPECT_EQ(take(), one(kAllocCorrupt, p));
        EXPECT_EQ(mp_size(alloc(size)), size); // a block of the pool, not one made of foreign
    }
}

TEST_F(MemPool, ReallocKeepsThePlaceUpToTheClassSizeAndMovesBeyond) {
    // What a move keeps is checked by FourThreadsKeepEveryBlockIntact.
    unsigned char* p = static_cast<unsigned char*>(mp_realloc(nullptr, 20));
    for (size_t n : {24, 1, 0})
        EXPECT_EQ(mp_realloc(p, n), p);
#if !defined(__SANITIZE_ADDRESS__) // the sanitizer stops the process on a failed malloc
    EXPECT_EQ(mp_realloc(p, SIZE_MAX / 2), nullptr); // nothing to move to: p stays
#endif
    unsigned char* q = static_cast<unsigned char*>(mp_realloc(p, 25));
    EXPECT_EQ(mp_size(q), 32);
    EXPECT_EQ(alloc(24), p); // the old block was freed once copied
    q = static_cast<unsigned char*>(mp_realloc(mp_realloc(q, 1000), 5000)); // to the heap
    EXPECT_EQ(mp_realloc(q, 0), nullptr); // realloc freed it; nothing touches it again
    mp_free(p);
}

// Four threads at once, each 1,000,000 random allocations, reallocations and frees
// of 0 to 300 bytes, every block filled with its own pattern and checked before
// each call on it and after each reallocation.
TEST_F(MemPool, FourThreadsKeepEveryBlockIntact) {
    onThreads(4, [](int t) {
        std::mt19937 rng(1000u + unsigned(t));
        unsigned char* block[64] = {};
        std::vector<unsigned char> want[64]; // what each block holds
        for (int op = 0; op < 1000000; ++op) {
            const int b = int(rng() % 64);
            const size_t n = rng() % 301;
            std::vector<unsigned char>& w = want[size_t(b)];
            ASSERT_TRUE(std::equal(w.begin(), w.end(), block[b])) << "before op " << op;
            if (!block[b]) {
                block[b] = alloc(n);
            } else if (rng() % 2) {
                block[b] = static_cast<unsigned char*>(mp_realloc(block[b], n));
                ASSERT_TRUE(block[b] || n == 0) << op; // realloc(…, 0) frees a heap block
                w.resize(block[b] ? std::min(w.size(), n) : 0);
                ASSERT_TRUE(std::equal(w.begin(), w.end(), block[b])) << "moved at op " << op;
            } else {
                mp_free(std::exchange(block[b], nullptr));
            }
            w.resize(block[b] ? n : 0);
            std::iota(w.begin(), w.end(), static_cast<unsigned char>(rng()));
            std::copy(w.begin(), w.end(), block[b]);
        }
        for (unsigned char* p : block)
            mp_free(p);
    });
}

// Requests past the largest class, requests that find no chunk to be had (the table
// at its limit, or no pages) and every call while the pool is switched off go to
// malloc; the pool's own blocks stay as they were.
TEST_F(MemPool, WhatThePoolDoesNotServeGoesToMalloc) {
    setChunkLimit(1);
    void* p = mp_alloc(16);
    std::vector<void*> heap = {mp_alloc(257), mp_alloc(32)}; // a second chunk passes the limit
    setChunkLimit(1024);
    setPageSource([](size_t) -> void* { return nullptr; });
    heap.push_back(mp_alloc(64));
    setPageSource(nullptr);
    mp_enable(false);
    heap.push_back(mp_realloc(mp_alloc(16), 32));
    mp_enable(true);
    for (size_t i = 0; i < heap.size(); ++i) {
        EXPECT_NE(heap[i], nullptr) << i;
        EXPECT_EQ(chunkOfBlock(heap[i]), -1) << i;
        EXPECT_EQ(mp_size(heap[i]), int(malloc_usable_size(heap[i]))) << i;
        std::free(heap[i]); // the standard allocator would abort on a pool block
    }
    mp_free(p);
    EXPECT_EQ(mp_alloc(16), p);
    mp_free(p);
}

// Threads that race to the first call share one pool, whose clean-up is registered
// once; after a teardown the next call starts a new, empty pool. The race is run
// again and again, since a fault in it shows only now and then.
TEST_F(MemPool, CreatedOnceUnderRaceAndAnewAfterTeardown) {
    std::vector<void*> blocks(8 * 50);
    for (int round = 0; round < 50 && !HasFailure(); ++round) {
        void* const old = blocks[0];
        teardown();
        EXPECT_EQ(chunkCount(), 0u);
        onThreads(8, [&](int t) {
            for (int i = 0; i < 50; ++i)
                blocks[size_t(t * 50 + i)] = mp_alloc(24);
        });
        EXPECT_EQ(chunkCount(), 1u) << round;
        for (void* b : blocks)
            EXPECT_EQ(chunkOfBlock(b), 0) << round;
        EXPECT_EQ(chunkOfBlock(old), -1); // the old pool's blocks are not the new pool's
    }
    int registered = 0;
    for (int i = 0; i < pf::frame::cleanups().count(); ++i)
        registered += std::strcmp(pf::frame::cleanups().name(i), "mempool") == 0;
    EXPECT_EQ(registered, 1);
}

TEST(LibFrame, CleanupsRunOnceNewestFirstWithinCapacity) {
    static std::vector<std::string> ran; // the clean-ups run, by name
    pf::frame::CleanupList list;
    for (int i = 0; i < pf::frame::CleanupList::kCapacity; ++i)
        EXPECT_TRUE(list.add(i ? "later" : "first", [] {}));
    EXPECT_FALSE(list.add("overflow", [] {}));
    const auto trace = [](const char* name) { ran.push_back(name); };
    list.runAll(trace);
    list.runAll(trace); // a second run does nothing
    EXPECT_EQ(ran.size(), size_t(pf::frame::CleanupList::kCapacity));
    EXPECT_EQ(ran.front(), "later");
    EXPECT_EQ(ran.back(), "first");
}

// Code that logs after the library's clean-up ran (another thread, an exit handler
// registered earlier) finds a closed logger, not a null pointer.
TEST(LibFrame, LoggerOutlivesItsCleanup) {
    pf::logger::destroy();
    ASSERT_NE(VTQ::VTQLogger::Instance(), nullptr);
    VTQ::VTQLogger::Instance()->LogInfo(W16("dropped %d"), 1);
}
