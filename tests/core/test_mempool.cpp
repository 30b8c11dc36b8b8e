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
    const int cases[][2] = {{0, 8},     {1, 8},     {8, 8},     {9, 16},    {16, 16},   {17, 24},
                            {25, 32},   {32, 32},   {33, 48},   {40, 48},   {48, 48},   {49, 64},
                            {64, 64},   {65, 80},   {81, 96},   {96, 96},   {97, 128},  {128, 128},
                            {129, 160}, {161, 192}, {193, 224}, {224, 224}, {225, 256}, {256, 256}};
    for (const auto& c : cases) {
        char* p = static_cast<char*>(mp_alloc(c[0]));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 4, 0u);
        EXPECT_EQ(mp_size(p), c[1]) << c[0];
        std::memset(p, 0xEE, c[1]); // all of the class size is usable: the guard lies beyond
        mp_free(p);
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
        EXPECT_EQ(take(), one(kFreeCorrupt, p)); // reported, and freed all the same
        mp_free(p);
        EXPECT_EQ(take(), one(kRepeatFree, p));
        char* again = static_cast<char*>(mp_alloc(size));
        char* other = static_cast<char*>(mp_alloc(size));
        EXPECT_EQ(again, p);
        EXPECT_NE(other, p);

        std::memset(p, 0x5A, size);
        for (int offset : {1, 2, 4, -1}) { // into the pool, but not a block's start
            char* stray = p + offset;
            mp_free(stray);
            EXPECT_EQ(mp_size(stray), 0);
            EXPECT_EQ(mp_realloc(stray, 1), nullptr);
            const std::string text = one(kNotInPool, stray)[0];
            EXPECT_EQ(take(), (std::vector<std::string>{text, text, text}));
        }
        EXPECT_EQ(std::count(p, p + size, 0x5A), size);
        mp_free(other);
        mp_free(p);
        EXPECT_EQ(mp_alloc(size), p); // neither stray pointer joined the free list
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
    // foreign memory, off a block boundary, a block of another class
    for (char* link : {heapBlock, q + 1, small - 2}) {
        mp_free(q);
        mp_free(p); // p's link now names q
        std::memcpy(p, &link, sizeof link);
        EXPECT_EQ(mp_alloc(64), p);
        EXPECT_EQ(take(), one(kAllocCorrupt, p));
        q = static_cast<char*>(mp_alloc(64)); // from a new chunk: the old list is gone
        std::memset(q, 1, 64);
        EXPECT_EQ(mp_size(q), 64);
        EXPECT_TRUE(take().empty());
    }
    for (char* block : {small, p, q})
        mp_free(block);
    std::free(heapBlock);
    EXPECT_TRUE(take().empty());
}

TEST_F(MemPool, ReallocKeepsThePlaceUpToTheClassSizeAndMovesBeyond) {
    char* p = static_cast<char*>(mp_realloc(nullptr, 20));
    ASSERT_EQ(mp_size(p), 24);
    for (int i = 0; i < 24; ++i)
        p[i] = char(i);
    for (size_t n : {24, 1, 0})
        EXPECT_EQ(mp_realloc(p, n), p);
#if !defined(__SANITIZE_ADDRESS__) // the sanitizer stops the process on a failed malloc
    EXPECT_EQ(mp_realloc(p, SIZE_MAX / 2), nullptr); // nothing to move to: p stays
#endif
    char* q = static_cast<char*>(mp_realloc(p, 25));
    ASSERT_EQ(mp_size(q), 32);
    EXPECT_EQ(mp_alloc(24), p); // the old block was freed, once it was copied
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(q[i], char(i));
    mp_free(p);
    char* big = static_cast<char*>(mp_realloc(q, 1000)); // to the standard allocator
    ASSERT_GE(mp_size(big), 1000);
    big = static_cast<char*>(mp_realloc(big, 5000));
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(big[i], char(i));
    EXPECT_EQ(mp_realloc(big, 0), nullptr); // realloc freed it; nothing touches it again
    EXPECT_TRUE(take().empty());

    char* gone = static_cast<char*>(mp_alloc(8)); // a freed block asked to stay
    mp_free(gone);
    EXPECT_EQ(mp_realloc(gone, 8), gone);
    EXPECT_EQ(take(), one(kFreeCorrupt, gone));
    EXPECT_EQ(mp_alloc(8), gone); // it is still listed: handed out again, reported
    EXPECT_EQ(take(), one(kAllocCorrupt, gone));
    mp_free(gone);
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

#if !defined(_WIN32)
// The Windows build shows a message box instead, which no test may open.
TEST_F(MemPool, DefaultReportIsOneLineOnStandardError_Posix) {
    mp_set_report_hook(nullptr);
    void* p = mp_alloc(8);
    mp_free(p);
    testing::internal::CaptureStderr();
    mp_free(p);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "mem pool error dectect!: " + one(kRepeatFree, p)[0] + "\n");
}
#endif

// Four threads at once, each a random run of allocations, reallocations and frees
// of 0 to 300 bytes, every block filled with its own pattern and checked before it
// is resized or freed. Sanitizer and Wine builds run a quarter of the operations:
// the same paths, in a time those builds can afford.
#if defined(__SANITIZE_ADDRESS__) || defined(_WIN32)
constexpr int kStressOps = 250000;
#else
constexpr int kStressOps = 1000000;
#endif

TEST_F(MemPool, FourThreadsKeepEveryBlockIntact) {
    std::atomic<int> damaged{0};
    auto run = [&](unsigned seed) {
        struct Block {
            unsigned char* p = nullptr;
            size_t n = 0;
            unsigned char tag = 0;
            void fill() {
                for (size_t i = 0; i < n; ++i)
                    p[i] = static_cast<unsigned char>(tag + i);
            }
            bool intact(size_t upTo) const {
                for (size_t i = 0; i < upTo; ++i)
                    if (p[i] != static_cast<unsigned char>(tag + i)) return false;
                return true;
            }
        };
        std::mt19937 rng(seed);
        std::vector<Block> blocks(64);
        for (int op = 0; op < kStressOps; ++op) {
            Block& b = blocks[rng() % blocks.size()];
            const size_t n = rng() % 301;
            if (!b.p) {
                b.p = static_cast<unsigned char*>(mp_alloc(n));
                b.n = n;
                b.tag = static_cast<unsigned char>(rng());
            } else if (rng() % 2) {
                auto* q = static_cast<unsigned char*>(mp_realloc(b.p, n));
                if (!q && n) damaged++;
                b.p = q;
                if (q && !b.intact(std::min(b.n, n))) damaged++;
                b.n = q ? n : 0; // null: realloc(…, 0) freed a heap block
            } else {
                if (!b.intact(b.n)) damaged++;
                mp_free(b.p);
                b.p = nullptr;
            }
            if (b.p) b.fill();
        }
        for (Block& b : blocks)
            mp_free(b.p);
    };
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t)
        threads.emplace_back(run, 1000 + t);
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(damaged.load(), 0);
    EXPECT_TRUE(take().empty());
}
