// mp_enable, mp_alloc, mp_free, mp_size, mp_realloc, mp_set_report_hook, through
// the library's exports; reports are observed through the hook.
#include "core/mempool_reports.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <random>
#include <thread>

namespace {
size_t heapSize(void* p) {
#if defined(_WIN32)
    return _msize(p);
#else
    return malloc_usable_size(p);
#endif
}
class MemPool : public PoolReports {};
} // namespace

TEST_F(MemPool, RequestsGetTheSmallestClassThatHoldsThem) {
    int below = -1; // each class holds the requests above the one before it; 0 counts as 1
    for (int size : kBlockSizes) {
        for (int n : {below + 1, size}) {
            char* p = static_cast<char*>(mp_alloc(n));
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 4, 0u);
            EXPECT_EQ(mp_size(p), size) << n;
            std::memset(p, 0xEE, size); // all of it is usable: the guard lies beyond
            mp_free(p);
        }
        below = size;
    }
    void* big = mp_alloc(257);
    EXPECT_EQ(mp_size(big), int(heapSize(big)));
    std::free(big); // a block of the standard allocator indeed
    EXPECT_EQ(mp_size(nullptr), 0);
    mp_free(nullptr);
    EXPECT_TRUE(take().empty());
}

// Each fault is reported once, with the address it concerns, and leaves the free
// lists sound: afterwards every block is handed out exactly once.
TEST_F(MemPool, FaultsAreReportedAndContained) {
    for (int size : kBlockSizes) {
        SCOPED_TRACE(size);
        char* p = static_cast<char*>(mp_alloc(size));
        p[size] = 0; // one byte past the block: the guard word
        mp_free(p);
        EXPECT_EQ(take(), one(kFreeCorrupt, p)); // and freed all the same
        mp_free(p);
        EXPECT_EQ(take(), one(kRepeatFree, p));
        EXPECT_EQ(mp_alloc(size), p);
        char* other = static_cast<char*>(mp_alloc(size));
        EXPECT_NE(other, p);

        std::memset(p, 0x5A, size);
        for (char* stray : {p + 1, p + 2, p + 4, p - 1}) { // into the pool, not a block's start
            mp_free(stray);
            EXPECT_EQ(mp_size(stray), 0);
            EXPECT_EQ(mp_realloc(stray, 1), nullptr);
            EXPECT_EQ(take(), Reports(3, one(kNotInPool, stray)[0]));
        }
        EXPECT_EQ(std::count(p, p + size, 0x5A), size);
        p[-2] ^= 0x40; // the header names another chunk: not a block any more
        mp_free(p);
        EXPECT_EQ(take(), one(kNotInPool, p));
        p[-2] ^= 0x40;
        mp_free(other);
        mp_free(p);
        EXPECT_EQ(mp_alloc(size), p); // no stray pointer joined the free list
        EXPECT_EQ(mp_alloc(size), other);
        mp_free(p);
        mp_free(other);
        EXPECT_TRUE(take().empty());
    }
}

// A free block written to after it was freed: its link is judged before it is
// followed, so the block is reported when handed out and its list ends there.
TEST_F(MemPool, OverwrittenFreeListLinkIsNotFollowed) {
    char* heapBlock = static_cast<char*>(std::malloc(64));
    char* small = static_cast<char*>(mp_alloc(8));
    char* p = static_cast<char*>(mp_alloc(64));
    char* q = static_cast<char*>(mp_alloc(64));
    for (char* link : {heapBlock, q + 1, small - 2}) { // foreign, off a boundary, other class
        mp_free(q);
        mp_free(p); // p's link names q
        std::memcpy(p, &link, sizeof link);
        EXPECT_EQ(mp_alloc(64), p);
        EXPECT_EQ(take(), one(kAllocCorrupt, p));
        q = static_cast<char*>(mp_alloc(64)); // from a new chunk: the old list is gone
        std::memset(q, 1, 64);
        EXPECT_TRUE(take().empty());
    }
    for (char* block : {small, p, q})
        mp_free(block);
    std::free(heapBlock);
}

TEST_F(MemPool, ReallocKeepsThePlaceUpToTheClassSizeAndMovesBeyond) {
    char* p = static_cast<char*>(mp_realloc(nullptr, 20));
    for (int i = 0; i < 24; ++i)
        p[i] = char(i);
    for (size_t n : {24, 1, 0})
        EXPECT_EQ(mp_realloc(p, n), p);
#if !defined(__SANITIZE_ADDRESS__) // the sanitizer stops the process on a failed malloc
    EXPECT_EQ(mp_realloc(p, SIZE_MAX / 2), nullptr); // nothing to move to: p stays
#endif
    char* q = static_cast<char*>(mp_realloc(p, 25));
    EXPECT_EQ(mp_size(q), 32);
    EXPECT_EQ(mp_alloc(24), p); // the old block was freed once copied
    q = static_cast<char*>(mp_realloc(mp_realloc(q, 1000), 5000)); // to the standard allocator
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(q[i], char(i));
    EXPECT_EQ(mp_realloc(q, 0), nullptr); // realloc freed it; nothing touches it again
    EXPECT_TRUE(take().empty());

    mp_free(p); // a freed block asked to stay is reported, and still listed
    EXPECT_EQ(mp_realloc(p, 24), p);
    EXPECT_EQ(take(), one(kFreeCorrupt, p));
    EXPECT_EQ(mp_alloc(24), p);
    EXPECT_EQ(take(), one(kAllocCorrupt, p));
    mp_free(p);
}

TEST_F(MemPool, SwitchedOffEverythingGoesToTheHeapAndThePoolWaits) {
    void* p = mp_alloc(16);
    mp_enable(false);
    void* h = mp_realloc(mp_alloc(16), 32);
    EXPECT_EQ(mp_size(h), int(heapSize(h)));
    std::free(h); // the standard allocator would abort on a pool block
    mp_enable(true);
    mp_free(p);
    EXPECT_EQ(mp_alloc(16), p);
    mp_free(p);
    EXPECT_TRUE(take().empty());
}

// Four threads at once, each 1,000,000 random allocations, reallocations and frees
// of 0 to 300 bytes, every block filled with its own pattern and checked before it
// is resized or freed.
TEST_F(MemPool, FourThreadsKeepEveryBlockIntact) {
    std::atomic<int> damaged{0};
    auto run = [&](unsigned seed) {
        std::mt19937 rng(seed);
        struct {
            unsigned char* p = nullptr;
            size_t n = 0, tag = 0; // the pattern is tag, tag + 1, ...
        } blocks[64];
        auto intact = [](const auto& b, size_t upTo) {
            for (size_t i = 0; i < upTo; ++i)
                if (b.p[i] != static_cast<unsigned char>(b.tag + i)) return false;
            return true;
        };
        for (int op = 0; op < 1000000; ++op) {
            auto& b = blocks[rng() % 64];
            const size_t n = rng() % 301;
            if (!b.p) {
                b.p = static_cast<unsigned char*>(mp_alloc(n));
            } else if (rng() % 2) { // null only where realloc(…, 0) freed a heap block
                b.p = static_cast<unsigned char*>(mp_realloc(b.p, n));
                damaged += b.p ? !intact(b, std::min(b.n, n)) : n != 0;
            } else {
                damaged += !intact(b, b.n);
                mp_free(b.p);
                b.p = nullptr;
            }
            b.n = b.p ? n : 0;
            b.tag = rng();
            for (size_t i = 0; i < b.n; ++i)
                b.p[i] = static_cast<unsigned char>(b.tag + i);
        }
        for (auto& b : blocks)
            mp_free(b.p);
    };
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t)
        threads.emplace_back(run, 1000 + t);
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(damaged.load(), 0);
    EXPECT_EQ(take(), Reports());
}
