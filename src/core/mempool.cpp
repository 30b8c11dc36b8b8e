// The guarded memory pool: small blocks in thirteen size classes, each framed by a
// header word and a guard word so that overruns and double frees are caught.
//
// Layout. Each size class owns chunks of page memory: 128 KiB for its first chunk,
// twice the previous size for each further one up to 1 MiB, at most 1024 chunks in
// all. A chunk leaves its first 2 bytes empty and then holds blocks back to back,
//     header word (2) | payload (block size) | guard word 0xCDAB, bytes AB CD (2)
// for as long as a whole block ends strictly before the chunk's end. The stride is
// block size + 4 and block sizes are multiples of 8, so payloads (what callers
// get) are 4-byte aligned and every second one is 8-byte aligned. The header word
// is little-endian: bit 0 is set while the block is free, bits 1 to 5 are 0, bits
// 6 to 15 hold the chunk's index in the chunk table. A free block's payload starts
// with the address of the next free block's header (8 bytes, null at the end); a
// class's free list is last in, first out. Blocks never leave their chunk, chunks
// never leave their class, and pages are never given back.
//
// Locking. One recursive ZvCriticalSection guards the tables and every header,
// guard word and link. Only the switch, the creation of the pool and requests
// above 256 bytes go without it. Reports are made with the lock held, so a fault
// stops every thread that uses the pool until the report returns.
//
// Pointers the pool did not hand out. A pointer is judged by the chunk table's
// address ranges before any byte near it is read: outside every chunk it belongs to
// the standard allocator; inside a chunk it is a block only at a payload boundary
// whose header names that chunk, and anything else is reported and left alone.
// Free-list links are judged the same way before they are followed, so a block
// written to after it was freed costs at most the rest of its class's free list
// (those blocks are never handed out again), never a read of foreign memory.
#include <pubfunc/mempool.h>
#include <pubfunc/zvglobal.h>

#include "core/format.h"
#include "core/libframe.h"
#include "core/mempool_internal.h"
#include "platform/pages.h"
#include "platform/report.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace pf {
namespace mempool {
namespace {

constexpr int kClassCount = 13;
constexpr uint32_t kMaxChunks = 1024;
constexpr size_t kLargestRequest = 256;
constexpr uint32_t kFirstChunkSize = 128 * 1024;
constexpr uint32_t kLargestChunkSize = 1024 * 1024;
constexpr uintptr_t kChunkLead = 2;  // empty bytes before a chunk's first header
constexpr uintptr_t kHeaderSize = 2; // the header word before each payload
constexpr uintptr_t kFrameSize = 4;  // header word + guard word
constexpr uint16_t kGuardWord = 0xCDAB;
constexpr uint16_t kFreeFlag = 1;
constexpr int kChunkIndexShift = 6;
constexpr size_t kReportLimit = 4095; // wide characters of a report's text
constexpr int kRecentSlotBits = 10;
constexpr size_t kRecentSlots = size_t(1) << kRecentSlotBits;
constexpr int kGranuleBits = 16; // one recent-chunk guess per 64 KiB of addresses

constexpr uint32_t kBlockSizes[kClassCount] = {8,  16,  24,  32,  48,  64, 80,
                                               96, 128, 160, 192, 224, 256};

// The class of a request of n bytes, 1 <= n <= 256: eight bytes apart up to 32,
// sixteen up to 96, thirty-two up to 256 (there is no 40-byte class).
constexpr int classIndexOf(size_t n) {
    return n <= 32 ? int((n - 1) / 8) : n <= 96 ? int((n - 33) / 16 + 4) : int((n - 97) / 32 + 8);
}

// Every class boundary is a multiple of 8, so the class of n is a table entry at
// (n - 1) / 8: one load instead of a chain of compares that random sizes mispredict.
struct ClassTable {
    unsigned char byEighths[kLargestRequest / 8];
    constexpr ClassTable() : byEighths() {
        for (size_t e = 0; e < kLargestRequest / 8; ++e)
            byEighths[e] = static_cast<unsigned char>(classIndexOf(8 * e + 8));
    }
};
constexpr ClassTable kClassTable;

// Each request gets the smallest class that holds it.
constexpr bool classesFit() {
    for (size_t n = 1; n <= kLargestRequest; ++n) {
        const int c = kClassTable.byEighths[(n - 1) / 8];
        if (c != classIndexOf(n) || kBlockSizes[c] < n || (c > 0 && kBlockSizes[c - 1] >= n))
            return false;
    }
    return true;
}
static_assert(classesFit(), "size classes follow the block-size table");
static_assert(kMaxChunks - 1 <= 0xFFFFu >> kChunkIndexShift, "chunk indexes fit the header");

struct SizeClass {
    uint32_t lastChunkSize; // bytes of the class's newest chunk, 0 before the first
    uint8_t* freeHead;      // header of the first free block, null when there is none
};

struct PoolChunk {
    uint8_t* base;
    uint32_t size;
    SizeClass* sizeClass;
    uint32_t blockSize;
};

// Zero-filled when created, then given its lock.
struct MemPool {
    SizeClass classes[kClassCount];
    PoolChunk chunks[kMaxChunks];
    std::atomic<uint32_t> chunkCount;
    ZvCriticalSection* lock;
    // The chunks' base addresses in ascending order, and the index of each: how a
    // pointer is found to be pool memory or not without reading it.
    uintptr_t sortedBase[kMaxChunks];
    uint16_t sortedIndex[kMaxChunks];
    // A guess per 64 KiB of address space (hashed): 1 + the index of a chunk that
    // was last found there, 0 for none. Saves most searches; see chunkHolding.
    uint16_t recentChunk[kRecentSlots];
};

using ReportHook = void (*)(const wchar16* message);
using PageSource = void* (*)(size_t bytes);

// Process-wide state: constant-initialised, nothing to construct or destroy.
std::atomic<bool> s_enabled{true};
std::atomic<MemPool*> s_pool{nullptr};
std::atomic<bool> s_teardownRegistered{false};
std::atomic<ReportHook> s_reportHook{nullptr};
std::atomic<uint32_t> s_chunkLimit{kMaxChunks};
std::atomic<PageSource> s_pageSource{platform::allocPages};

const wchar16 kCaption[] = W16("mem pool error dectect!");
const wchar16 kAllocCorrupt[] = W16("mp_alloc - detect block 0x%08X corrupt!");
const wchar16 kFreeCorrupt[] = W16("mp_free - detect block 0x%08X corrupt!");
const wchar16 kRepeatFree[] = W16("mp_free - repeat free block 0x%08X!");
const wchar16 kNotInPool[] = W16("mp_free - block 0x%08X not in mem pool!");

// Header and guard words are little-endian whatever the machine; links are
// native pointers at 4-byte aligned payloads, hence memcpy.
uint16_t loadWord(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}
void storeWord(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}
uint8_t* loadLink(const uint8_t* payload) {
    uint8_t* header;
    std::memcpy(&header, payload, sizeof header);
    return header;
}
void storeLink(uint8_t* payload, uint8_t* header) {
    std::memcpy(payload, &header, sizeof header);
}
uint8_t* guardOf(uint8_t* header, uint32_t blockSize) {
    return header + kHeaderSize + blockSize;
}

// The message with the address's low 32 bits, to the hook or the person at the
// machine, then into the debugger if one is attached. The caller goes on afterwards.
// The text is formatted into a fixed buffer: a report runs under the pool's lock,
// often because the heap is already damaged, so it must neither allocate nor throw.
void report(const wchar16* format, const void* address) {
    wchar16 text[kReportLimit + 1];
    pf::snformat(text, kReportLimit, format,
                 static_cast<unsigned>(reinterpret_cast<uintptr_t>(address)));
    text[kReportLimit] = 0; // a cut text is stored unterminated
    if (ReportHook hook = s_reportHook.load(std::memory_order_acquire))
        hook(text);
    else
        platform::showErrorMessage(kCaption, text);
    platform::breakIfDebugged();
}

// True when a lies in chunk c's address range.
bool inChunk(const PoolChunk& c, uintptr_t a) {
    return a - reinterpret_cast<uintptr_t>(c.base) < c.size;
}

// The chunk whose address range holds a, or -1, by binary search of the address
// order. It is written without branches in its loop (the compare becomes a
// conditional move), since for addresses spread over the chunks each branch would
// be a coin toss.
int searchChunks(const MemPool& pool, uintptr_t a) {
    uint32_t n = pool.chunkCount.load(std::memory_order_relaxed);
    if (n == 0) return -1;
    const uintptr_t* at = pool.sortedBase;
    while (n > 1) { // `at` ends on the last base at or below a, if there is one
        const uint32_t half = n / 2;
        at = at[half] <= a ? at + half : at;
        n -= half;
    }
    if (*at > a) return -1;
    const int index = pool.sortedIndex[at - pool.sortedBase];
    return inChunk(pool.chunks[index], a) ? index : -1;
}

// The chunk whose address range holds a, or -1; reads the chunk table only. The
// recent-chunk guess for a's granule is tried first and is only ever a guess: it
// counts once a's address lies in that chunk's range, so a stale or colliding
// entry costs a search, never a wrong answer.
int chunkHolding(MemPool& pool, uintptr_t a) {
    const uintptr_t granule = a >> kGranuleBits;
    uint16_t& recent =
        pool.recentChunk[(granule * 0x9E3779B97F4A7C15ull) >> (64 - kRecentSlotBits)];
    if (recent && inChunk(pool.chunks[recent - 1], a)) return recent - 1;
    const int index = searchChunks(pool, a);
    if (index >= 0) recent = static_cast<uint16_t>(index + 1);
    return index;
}

// Whether an offset is a whole number of strides, without a division: a stride is
// 4 times an odd m, and for 32-bit x, x is a multiple of m exactly when x times
// the inverse of m (mod 2^32) is at most (2^32 - 1) / m. Every pool operation
// asks this once or twice, and a division would cost more than the rest of it.
struct StrideTest {
    uint32_t inverse; // of the stride's odd part, mod 2^32
    uint32_t limit;
    constexpr bool divides(uint32_t offset) const {
        return (offset & 3) == 0 && (offset >> 2) * inverse <= limit;
    }
};
constexpr StrideTest strideTest(uint32_t stride) {
    const uint32_t m = stride / 4;
    uint32_t inverse = m; // Newton's iteration doubles the correct low bits each step
    for (int i = 0; i < 5; ++i)
        inverse *= 2 - m * inverse;
    return StrideTest{inverse, 0xFFFFFFFFu / m};
}
struct StrideTable {
    StrideTest byClass[kClassCount];
    constexpr StrideTable() : byClass() {
        for (int c = 0; c < kClassCount; ++c)
            byClass[c] = strideTest(kBlockSizes[c] + uint32_t(kFrameSize));
    }
};
constexpr StrideTable kStrides;

constexpr bool strideTestsHold() {
    for (int c = 0; c < kClassCount; ++c)
        for (uint32_t x = 0; x < 4 * 1024; ++x)
            if (kStrides.byClass[c].divides(x) != (x % (kBlockSizes[c] + kFrameSize) == 0))
                return false;
    return true;
}
static_assert(strideTestsHold(), "the multiply test agrees with the remainder");

// True when a, an address inside chunk c, is the payload of one of its blocks.
bool isPayloadAddress(const MemPool& pool, const PoolChunk& c, uintptr_t a) {
    const uintptr_t base = reinterpret_cast<uintptr_t>(c.base);
    const uintptr_t first = base + kChunkLead + kHeaderSize;
    const StrideTest& test = kStrides.byClass[c.sizeClass - pool.classes];
    return a >= first && test.divides(static_cast<uint32_t>(a - first)) &&
           a - kHeaderSize + c.blockSize + kFrameSize < base + c.size;
}

enum class Owner { Heap, Block, Stray };

struct Where {
    Owner owner;
    PoolChunk* chunk;
    uint8_t* header; // set for a block
    uint16_t word;   // the header word of a block
};

// Whose p is. Outside every chunk: the standard allocator's. Inside a chunk: a
// block only at a payload boundary whose header names that very chunk; any other
// pointer into a chunk is stray (a header naming another chunk means the header
// itself was overwritten).
Where locate(MemPool& pool, const void* p) {
    const uintptr_t a = reinterpret_cast<uintptr_t>(p);
    const int index = chunkHolding(pool, a);
    if (index < 0) return {Owner::Heap, nullptr, nullptr, 0};
    PoolChunk& c = pool.chunks[index];
    if (!isPayloadAddress(pool, c, a)) return {Owner::Stray, &c, nullptr, 0};
    uint8_t* header = reinterpret_cast<uint8_t*>(a - kHeaderSize);
    const uint16_t word = loadWord(header);
    if (word >> kChunkIndexShift != index) return {Owner::Stray, &c, nullptr, 0};
    return {Owner::Block, &c, header, word};
}

// Inserts chunk `index` into the address order.
void indexByAddress(MemPool& pool, uint32_t index) {
    const uint32_t count = pool.chunkCount.load(std::memory_order_relaxed);
    const uintptr_t base = reinterpret_cast<uintptr_t>(pool.chunks[index].base);
    const uint32_t at = static_cast<uint32_t>(
        std::upper_bound(pool.sortedBase, pool.sortedBase + count, base) - pool.sortedBase);
    std::memmove(pool.sortedBase + at + 1, pool.sortedBase + at, (count - at) * sizeof(uintptr_t));
    std::memmove(pool.sortedIndex + at + 1, pool.sortedIndex + at, (count - at) * sizeof(uint16_t));
    pool.sortedBase[at] = base;
    pool.sortedIndex[at] = static_cast<uint16_t>(index);
}

// Makes the next chunk of class c and puts all its blocks on the class's free list
// in address order. False when the chunk table is full or no pages can be had; the
// caller then serves the request from malloc.
bool makeChunk(MemPool& pool, int c) {
    const uint32_t index = pool.chunkCount.load(std::memory_order_relaxed);
    if (index >= std::min(s_chunkLimit.load(std::memory_order_relaxed), kMaxChunks)) return false;
    SizeClass& sc = pool.classes[c];
    const uint32_t size =
        std::min(std::max(sc.lastChunkSize * 2, kFirstChunkSize), kLargestChunkSize);
    uint8_t* base = static_cast<uint8_t*>(s_pageSource.load(std::memory_order_relaxed)(size));
    if (!base) return false; // fresh pages read as zeros

    const uint32_t blockSize = kBlockSizes[c];
    const uintptr_t stride = blockSize + kFrameSize;
    const uint16_t freeWord = static_cast<uint16_t>(index << kChunkIndexShift | kFreeFlag);
    for (uintptr_t at = kChunkLead; at + stride < size; at += stride) {
        uint8_t* header = base + at;
        storeWord(header, freeWord);
        storeWord(guardOf(header, blockSize), kGuardWord);
        const bool last = at + 2 * stride >= size;
        storeLink(header + kHeaderSize, last ? nullptr : header + stride);
    }
    sc.freeHead = base + kChunkLead;

    pool.chunks[index] = PoolChunk{base, size, &sc, blockSize};
    indexByAddress(pool, index);
    sc.lastChunkSize = size;
    pool.chunkCount.fetch_add(1);
    return true;
}

// True when header, a link taken from a free block of class sc, is the header of
// a block of that class. Only the chunk table is read to decide; most links stay
// within the chunk `near` of the block they came from, which is tried first.
bool isBlockOfClass(MemPool& pool, const SizeClass& sc, uint8_t* header, uint32_t near) {
    const uintptr_t payload = reinterpret_cast<uintptr_t>(header) + kHeaderSize;
    int index = static_cast<int>(near);
    if (!inChunk(pool.chunks[index], payload)) index = chunkHolding(pool, payload);
    return index >= 0 && pool.chunks[index].sizeClass == &sc &&
           isPayloadAddress(pool, pool.chunks[index], payload);
}

// Unlinks the first free block of class c, making a chunk first when the list is
// empty; null when none can be had. A block that lost its free flag or guard word
// while it was free, or whose link is not a block of its class, is reported and
// handed out all the same; a bad link ends the list there.
void* takeBlock(MemPool& pool, int c) {
    SizeClass& sc = pool.classes[c];
    if (!sc.freeHead && !makeChunk(pool, c)) return nullptr;
    uint8_t* header = sc.freeHead;
    uint8_t* payload = header + kHeaderSize;
    uint8_t* guard = guardOf(header, kBlockSizes[c]);
    const uint16_t word = loadWord(header);
    bool sound = (word & kFreeFlag) && loadWord(guard) == kGuardWord;
    uint8_t* next = loadLink(payload);
    if (next && !isBlockOfClass(pool, sc, next, word >> kChunkIndexShift)) {
        next = nullptr;
        sound = false;
    }
    sc.freeHead = next;
    if (!sound) report(kAllocCorrupt, payload);
    storeWord(header, static_cast<uint16_t>(word & ~kFreeFlag));
    storeWord(guard, kGuardWord);
    return payload;
}

void destroyPool(MemPool* pool) {
    delete pool->lock;
    pool->~MemPool();
    std::free(pool);
}

void teardownPool() {
    if (MemPool* pool = s_pool.exchange(nullptr)) destroyPool(pool);
}

// Creation happens once even when threads race to it: each builds a pool, one
// compare-exchange publishes one of them, and the others are discarded before
// anyone saw them. Only the first pool of the process registers the clean-up; it
// tears down whichever pool exists at unload. Null when memory has run out.
MemPool* createPool() {
    void* memory = std::calloc(1, sizeof(MemPool));
    ZvCriticalSection* lock = new (std::nothrow) ZvCriticalSection;
    if (!memory || !lock) {
        std::free(memory);
        delete lock;
        return nullptr;
    }
    MemPool* pool = new (memory) MemPool();
    pool->lock = lock;
    MemPool* published = nullptr;
    if (!s_pool.compare_exchange_strong(published, pool, std::memory_order_acq_rel)) {
        destroyPool(pool);
        return published;
    }
    if (!s_teardownRegistered.exchange(true)) frame::atUnload("mempool", teardownPool);
    return pool;
}

MemPool* instance() {
    MemPool* pool = s_pool.load(std::memory_order_acquire);
    return pool ? pool : createPool();
}

// The pool to work with: null while the switch is off, and also when the pool
// cannot be created for want of memory, so that every call then goes to the
// standard allocator as it does with the switch off.
MemPool* activePool() {
    return s_enabled.load(std::memory_order_relaxed) ? instance() : nullptr;
}

int heapSize(const void* p) {
    return static_cast<int>(platform::heapBlockSize(p));
}

// Returns p to its class's free list; false when p belongs to the standard
// allocator, which the caller frees after the lock is released (such blocks are
// none of the pool's business, and other threads need not wait for them).
bool freeToPool(MemPool& pool, void* p) {
    ZvCSLocker locker(pool.lock);
    const Where w = locate(pool, p);
    if (w.owner == Owner::Heap) return false;
    if (w.owner == Owner::Stray) {
        report(kNotInPool, p);
        return true;
    }
    if (w.word & kFreeFlag) {
        report(kRepeatFree, p); // the block and the free list stay as they are
        return true;
    }
    uint8_t* guard = guardOf(w.header, w.chunk->blockSize);
    if (loadWord(guard) != kGuardWord) report(kFreeCorrupt, p);
    SizeClass& sc = *w.chunk->sizeClass;
    storeWord(w.header, static_cast<uint16_t>(w.word | kFreeFlag));
    storeWord(guard, kGuardWord);
    storeLink(static_cast<uint8_t*>(p), sc.freeHead);
    sc.freeHead = w.header;
    return true;
}

} // namespace

void setChunkLimit(unsigned limit) {
    s_chunkLimit.store(limit);
}

void setPageSource(void* (*source)(size_t bytes)) {
    s_pageSource.store(source ? source : platform::allocPages);
}

void teardown() {
    teardownPool();
}

unsigned chunkCount() {
    MemPool* pool = s_pool.load(std::memory_order_acquire);
    if (!pool) return 0;
    ZvCSLocker locker(pool->lock);
    return pool->chunkCount.load();
}

ChunkInfo chunkInfo(unsigned index) {
    MemPool* pool = instance();
    ZvCSLocker locker(pool->lock);
    const PoolChunk& c = pool->chunks[index];
    return ChunkInfo{c.base, c.size, c.blockSize, static_cast<int>(c.sizeClass - pool->classes)};
}

int chunkOfBlock(const void* p) {
    MemPool* pool = instance();
    ZvCSLocker locker(pool->lock);
    const Where w = locate(*pool, p);
    return w.owner == Owner::Block ? static_cast<int>(w.chunk - pool->chunks) : -1;
}

} // namespace mempool
} // namespace pf

using namespace pf::mempool;

void mp_enable(bool on) {
    instance();
    s_enabled.store(on, std::memory_order_relaxed);
}

void* mp_alloc(size_t n) {
    MemPool* pool = activePool();
    if (!pool) return std::malloc(n);
    if (n == 0) n = 1;
    if (n > kLargestRequest) return std::malloc(n);
    void* block;
    {
        ZvCSLocker locker(pool->lock);
        block = takeBlock(*pool, kClassTable.byEighths[(n - 1) / 8]);
    }
    return block ? block : std::malloc(n);
}

void mp_free(void* p) {
    if (!p) return;
    MemPool* pool = activePool();
    if (pool && freeToPool(*pool, p)) return;
    std::free(p);
}

// A stray pointer into the pool has no size of its own: it is reported and 0
// returned, since the standard allocator must never be asked about pool memory.
int mp_size(const void* p) {
    if (!p) return 0;
    MemPool* pool = activePool();
    if (pool) {
        ZvCSLocker locker(pool->lock);
        const Where w = locate(*pool, p);
        if (w.owner == Owner::Block) return static_cast<int>(w.chunk->blockSize);
        if (w.owner == Owner::Stray) {
            report(kNotInPool, p);
            return 0;
        }
    }
    return heapSize(p);
}

// A pool block keeps its place for any n up to its block size. A larger n moves
// its whole block into a new one, and the old block is freed only once the new one
// exists: when none can be had the result is null and p is untouched. Blocks of
// the standard allocator are exactly realloc's business, including its rules for
// n = 0 (the block is freed and null returned) and for failure (null, p intact);
// nothing here touches p after realloc has had it.
void* mp_realloc(void* p, size_t n) {
    MemPool* pool = activePool();
    if (!pool) return std::realloc(p, n);
    if (!p) return mp_alloc(n);
    uint32_t oldSize = 0; // stays 0 for a block of the standard allocator
    {
        ZvCSLocker locker(pool->lock);
        const Where w = locate(*pool, p);
        if (w.owner == Owner::Stray) {
            report(kNotInPool, p);
            return nullptr;
        }
        if (w.owner == Owner::Block) {
            oldSize = w.chunk->blockSize;
            if (n <= oldSize) {
                uint8_t* guard = guardOf(w.header, oldSize);
                if ((w.word & kFreeFlag) || loadWord(guard) != kGuardWord) report(kFreeCorrupt, p);
                storeWord(w.header, static_cast<uint16_t>(w.word & ~kFreeFlag));
                storeWord(guard, kGuardWord);
                return p;
            }
        }
    }
    if (oldSize == 0) return std::realloc(p, n);
    void* moved = mp_alloc(n);
    if (!moved) return nullptr;
    std::memcpy(moved, p, oldSize); // n > oldSize, so the new block holds it all
    mp_free(p);
    return moved;
}

void mp_set_report_hook(void (*hook)(const wchar16* message)) {
    s_reportHook.store(hook, std::memory_order_release);
}
