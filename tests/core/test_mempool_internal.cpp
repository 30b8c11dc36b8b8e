// The memory pool's exact layout, growth, fall-backs and creation, from inside the
// library; every test starts from a fresh, empty pool.
#include "core/libframe.h"
#include "core/mempool_internal.h"
#include "core/mempool_reports.h"
#include "platform/pages.h"
#include "platform/report.h"

#include <atomic>
#include <cstring>
#include <thread>

using namespace pf::mempool;

namespace {

using Bytes = std::vector<unsigned char>;
Bytes bytes(const void* at, size_t n) {
    const auto* p = static_cast<const unsigned char*>(at);
    return Bytes(p, p + n);
}
unsigned char* alloc(size_t n) {
    return static_cast<unsigned char*>(mp_alloc(n));
}
void* noPages(size_t) {
    return nullptr;
}

// Pages from a static arena, one chunk right after the other, the first starting
// half-way into 64 KiB of address space; on Linux they lie below the heap.
unsigned char g_arena[6 * 65536];
size_t g_arenaUsed = 0;
void* arenaPages(size_t n) {
    const uintptr_t start =
        ((reinterpret_cast<uintptr_t>(g_arena) + 65535) & ~uintptr_t(65535)) + 32768 + g_arenaUsed;
    if (start + n > reinterpret_cast<uintptr_t>(g_arena + sizeof g_arena)) return nullptr;
    g_arenaUsed += n;
    return std::memset(reinterpret_cast<void*>(start), 0, n);
}

class MemPoolInternal : public PoolReports {
protected:
    void SetUp() override {
        teardown();
        PoolReports::SetUp();
    }
    void TearDown() override {
        setChunkLimit(1024);
        setPageSource(nullptr);
        PoolReports::TearDown();
    }
};

} // namespace

TEST_F(MemPoolInternal, ChunkLayoutIsExact) {
    unsigned char* p = alloc(24);
    unsigned char* q = alloc(17);
    const ChunkInfo chunk = chunkInfo(0);
    const auto* base = static_cast<const unsigned char*>(chunk.base);
    EXPECT_EQ(chunk.size, 131072u);
    EXPECT_EQ(chunk.blockSize, 24u);
    EXPECT_EQ(chunk.classIndex, 2);
    EXPECT_EQ(p, base + 4);
    EXPECT_EQ(q, p + 28);
    EXPECT_EQ(bytes(base, 4), (Bytes{0, 0, 0, 0})); // 2 empty bytes, a handed-out header
    EXPECT_EQ(bytes(p + 24, 2), (Bytes{0xAB, 0xCD}));
    const unsigned char* third = base + 58; // free: its link names the fourth
    EXPECT_EQ(bytes(third, 2), (Bytes{0x01, 0x00}));
    const unsigned char* fourth = base + 86;
    EXPECT_EQ(bytes(third + 2, 8), bytes(&fourth, 8));

    unsigned char* r = alloc(200); // chunk 1: the index sits in bits 6 to 15
    EXPECT_EQ(bytes(r - 2, 2), (Bytes{0x40, 0x00}));
    mp_free(r);
    EXPECT_EQ(bytes(r - 2, 2), (Bytes{0x41, 0x00}));

    // 4681 blocks of stride 28 fit: the last ends at byte 131070, before the end.
    int inFirst = 2;
    while (chunkOfBlock(alloc(24)) == 0)
        ++inFirst;
    EXPECT_EQ(inFirst, 4681);
    EXPECT_EQ(bytes(base + 131070, 2), (Bytes{0, 0}));
    EXPECT_TRUE(take().empty());
}

TEST_F(MemPoolInternal, ChunksGrowFrom128KiBTo1MiB) {
    for (int i = 0; i < 20000 && chunkCount() < 5; ++i)
        mp_alloc(256);
    const unsigned sizes[] = {131072, 262144, 524288, 1048576, 1048576};
    ASSERT_EQ(chunkCount(), 5u);
    for (unsigned i = 0; i < 5; ++i) {
        EXPECT_EQ(chunkInfo(i).size, sizes[i]);
        EXPECT_EQ(chunkInfo(i).classIndex, 12);
    }
}

// With no chunk to be had (no pages, or the chunk table full) requests go to
// malloc, and the pool's own blocks go on working.
TEST_F(MemPoolInternal, RequestsFallBackToMallocWhenNoChunkCanBeMade) {
    setPageSource(noPages);
    void* h = mp_alloc(16);
    EXPECT_EQ(chunkOfBlock(h), -1);
    EXPECT_EQ(chunkCount(), 0u);
    mp_free(h); // to free(), which the sanitizers check
    setPageSource(nullptr);
    setChunkLimit(1);
    void* p = mp_alloc(16);
    EXPECT_EQ(chunkOfBlock(p), 0);
    h = mp_alloc(100);
    EXPECT_EQ(chunkOfBlock(h), -1);
    EXPECT_EQ(mp_size(h), int(pf::platform::heapBlockSize(h)));
    mp_free(h);
    mp_free(p);
    EXPECT_EQ(mp_alloc(16), p);
    EXPECT_EQ(chunkCount(), 1u);
    EXPECT_TRUE(take().empty());
}

// The last block of one chunk and the first of the next share 64 KiB of address
// space, and heap blocks lie past both: each pointer is still placed right.
TEST_F(MemPoolInternal, NeighbouringChunksAndTheHeapAreToldApart) {
    setPageSource(arenaPages);
    unsigned char* a = alloc(8);
    unsigned char* b = alloc(16);
    ASSERT_EQ(chunkInfo(1).base, a - 4 + 131072);
    unsigned char* lastOfA = a + 10921 * 12;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(chunkOfBlock(lastOfA), 0);
        EXPECT_EQ(chunkOfBlock(b), 1);
    }
    void* h = std::malloc(16);
    EXPECT_EQ(mp_size(h), int(pf::platform::heapBlockSize(h)));
    mp_free(h);
    EXPECT_TRUE(take().empty());
}

// Threads that race to the first call share one pool, whose clean-up is registered
// once; after the teardown the next call starts a new, empty pool.
TEST_F(MemPoolInternal, CreatedOnceUnderRaceAndAnewAfterTeardown) {
    teardown();
    std::atomic<bool> go{false};
    std::vector<void*> blocks(8 * 50);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < 50; ++i)
                blocks[t * 50 + i] = mp_alloc(24);
        });
    go = true;
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(chunkCount(), 1u);
    for (void* b : blocks)
        EXPECT_EQ(chunkOfBlock(b), 0);
    int registered = 0;
    for (int i = 0; i < pf::frame::cleanups().count(); ++i)
        registered += std::strcmp(pf::frame::cleanups().name(i), "mempool") == 0;
    EXPECT_EQ(registered, 1);

    teardown();
    EXPECT_EQ(chunkCount(), 0u);
    mp_alloc(24);
    EXPECT_EQ(chunkCount(), 1u);
    EXPECT_EQ(chunkOfBlock(blocks[0]), -1); // the old pool's blocks are not the new pool's
}

// An overrun into the next block's header while that block is free: the guard is
// reported when the overrun block is freed, the neighbour when it is handed out,
// with its header restored so that it can be freed again. Overwritten while in
// use, the header no longer makes it a block, and freeing it changes nothing.
TEST_F(MemPoolInternal, OverrunIntoAFreeNeighbourIsRepairedWhenHandedOut) {
    unsigned char* p = alloc(64);
    unsigned char* q = alloc(64);
    ASSERT_EQ(q, p + 68);
    mp_free(q);
    std::memset(p + 64, 0xFF, 4); // guard word and q's header
    mp_free(p);
    EXPECT_EQ(take(), one(kFreeCorrupt, p));
    EXPECT_EQ(alloc(64), p);
    EXPECT_EQ(alloc(64), q);
    EXPECT_EQ(take(), one(kAllocCorrupt, q));
    EXPECT_EQ(bytes(q - 2, 2), (Bytes{0x00, 0x00}));
    q[-2] = 0x40; // now in use: a header that names chunk 1 is not this block's
    mp_free(q);
    EXPECT_EQ(take(), one(kNotInPool, q));
    q[-2] = 0x00;
    mp_free(q);
    EXPECT_TRUE(take().empty());
}

#if !defined(_WIN32)
// Windows shows the text in a message box, which no test may open.
TEST(PoolReport, StandardErrorLineIsUtf8_Posix) {
    testing::internal::CaptureStderr();
    pf::platform::showErrorMessage(u"caption \u00e9", u"\U0001F600 \xD800!");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "caption \xC3\xA9: \xF0\x9F\x98\x80 \xEF\xBF\xBD!\n");
}
#endif
