// Internal view of the memory pool: test knobs and a read-only look at its tables.
#pragma once

#include <cstddef>

namespace pf {
namespace mempool {

// The most chunks the pool makes, at most (and by default) 1024. A lower limit lets
// tests reach exhaustion without a gigabyte of pages; nothing else changes.
void setChunkLimit(unsigned limit);

// Where chunks come from; null restores the platform's page allocator. A source
// that returns null stands for memory that has run out.
void setPageSource(void* (*source)(size_t bytes));

// The clean-up that unload runs: frees the pool's tables and lock (its chunks stay
// mapped, unused). The next pool call creates a new, empty pool.
void teardown();

struct ChunkInfo {
    const void* base;
    unsigned size;
    unsigned blockSize;
    int classIndex;
};

// The pool's tables as they are now; 0 chunks when there is no pool.
unsigned chunkCount();
ChunkInfo chunkInfo(unsigned index); // index below chunkCount()
// The index of the chunk that holds p as a block's payload, -1 for any other p.
int chunkOfBlock(const void* p);

} // namespace mempool
} // namespace pf
