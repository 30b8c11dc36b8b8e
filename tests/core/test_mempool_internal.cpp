// The memory pool's exact layout, growth, fall-backs and creation, from inside the
// library; every test starts from a fresh, empty pool.
#include "alloc_probe.h"
#include "core/libframe.h"
#include "core/mempool_internal.h"
#include "core/mempool_reports.h"
#include "platform/pages.h"
#include "platform/report.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

using namespace pf::mempool;

namespace {

using Bytes = std::vector<unsigned char>;
Bytes bytes(const void* at, size_t n) {
    return Bytes(static_cast<const unsigned char*>(at), static_cast<const unsigned char*>(at) + n);
}
unsigned char* alloc(size_t n) {
    return static_cast<unsigned char*>(mp_alloc(n));
}

// Pages from a static arena, each chunk right after the one before, the first
// starting half-way into 64 KiB of address space; on Linux they lie below the heap.
// Room for three chunks of 128 KiB; then no pages.
unsigned char g_arena[8 * 65536];
size_t g_arenaUsed = 0;
void* arenaPages(size_t n) {
    const uintptr_t start =
        ((reinterpret_cast<uintptr_t>(g_arena) + 65535) & ~uintptr_t(65535)) + 32768 + g_arenaUsed;
    if (g_arenaUsed + n > 3 * 131072) return nullptr;
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
    const unsigned char* fourth = base + 86; // the free third block links to the fourth
    EXPECT_EQ(bytes(base + 58, 2), (Bytes{0x01, 0x00}));
    EXPECT_EQ(bytes(base + 60, 8), bytes(&fourth, 8));

    unsigned char* r = alloc(200); // chunk 1: the index sits in bits 6 to 15
    EXPECT_EQ(bytes(r - 2, 2), (Bytes{0x40, 0x00}));
    mp_free(r);
    EXPECT_EQ(bytes(r - 2, 2), (Bytes{0x41, 0x00}));

    int inFirst = 2; // 4681 blocks of stride 28: the last ends at byte 131070
    while (chunkOfBlock(alloc(24)) == 0)
        ++inFirst;
    EXPECT_EQ(inFirst, 4681);
    EXPECT_EQ(bytes(base + 131070, 2), (Bytes{0, 0}));

    EXPECT_EQ(chunkInfo(2).size, 262144u); // the class's second chunk
    for (int i = 0; i < 20000 && chunkCount() < 8; ++i)
        mp_alloc(256);
    const unsigned sizes[] = {131072, 262144, 524288, 1048576, 1048576}; // chunks 3 to 7
    for (unsigned i = 0; i < 5; ++i)
        EXPECT_EQ(chunkInfo(i + 3).size, sizes[i]);
    EXPECT_TRUE(take().empty());
}

// Chunks side by side, the last block of one and the first of the next in the same
// 64 KiB, heap blocks past both: each pointer is placed right. Requests that find
// no chunk to be had (the table at its limit, or no pages) go to malloc.
TEST_F(MemPoolInternal, ChunksAreToldApartAndTheirLackFallsBackToMalloc) {
    setPageSource(arenaPages);
    setChunkLimit(2);
    unsigned char* a = alloc(8);
    unsigned char* b = alloc(16);
    ASSERT_EQ(chunkInfo(1).base, a - 4 + 131072);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(chunkOfBlock(a + 10921 * 12), 0);
        EXPECT_EQ(chunkOfBlock(b), 1);
    }
    void* over = mp_alloc(32); // a third chunk would pass the limit
    EXPECT_EQ(chunkOfBlock(over), -1);
    EXPECT_EQ(mp_size(over), int(pf::platform::heapBlockSize(over)));
    setChunkLimit(1024);
    EXPECT_EQ(chunkOfBlock(mp_alloc(32)), 2); // the arena's last pages
    void* none = mp_alloc(64);                // no pages left
    EXPECT_EQ(chunkOfBlock(none), -1);
    mp_free(over); // both to free(), which the sanitizers check
    mp_free(none);
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

TEST_F(MemPoolInternal, ReportIsBuiltWithoutAllocating) {
    static char seen[64];
    mp_set_report_hook([](const wchar16* text) { // ASCII, copied without allocating
        size_t i = 0;
        for (; text[i] && i + 1 < sizeof seen; ++i)
            seen[i] = char(text[i]);
        seen[i] = 0;
    });
    void* p = mp_alloc(8);
    mp_free(p);
    const int before = g_allocations;
    mp_free(p);
    EXPECT_EQ(g_allocations - before, 0);
    EXPECT_EQ(seen, one(kRepeatFree, p)[0]);
}

#if !defined(_WIN32)
// Windows shows the report in a message box, which no test may open.
TEST_F(MemPoolInternal, DefaultReportIsAUtf8LineOnStandardError_Posix) {
    mp_set_report_hook(nullptr);
    void* p = mp_alloc(8);
    mp_free(p);
    testing::internal::CaptureStderr();
    mp_free(p);
    pf::platform::showErrorMessage(u"caption \u00e9", u"\U0001F600 \xD800!");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "mem pool error dectect!: " + one(kRepeatFree, p)[0] +
                  "\ncaption \xC3\xA9: \xF0\x9F\x98\x80 \xEF\xBF\xBD!\n");
}
#endif
