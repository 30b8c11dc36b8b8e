// The memory pool against the C runtime's malloc/free: allocate-and-free pairs of
// random sizes from 8 to 256 bytes, with 1 or 1,000 blocks live, on 1 and 2
// threads. The time per iteration is the time of one pair. Also the pool's lock:
// one uncontended lock+unlock pair against the standard mutexes.
#include <pubfunc/mempool.h>
#include <pubfunc/zvglobal.h>

#include "bench_ratio.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The same sizes in the same order for every case and every thread: a fixed
// linear congruential sequence, so no run depends on the library's own rng.
const std::vector<uint16_t>& requestSizes() {
    static const std::vector<uint16_t> sizes = [] {
        std::vector<uint16_t> v(4096);
        uint32_t state = 20240601u;
        for (auto& s : v) {
            state = state * 1664525u + 1013904223u;
            s = static_cast<uint16_t>(8 + (state >> 8) % 249);
        }
        return v;
    }();
    return sizes;
}

struct Pool {
    static void* alloc(size_t n) { return mp_alloc(n); }
    static void release(void* p) { mp_free(p); }
};
struct Heap {
    static void* alloc(size_t n) { return std::malloc(n); }
    static void release(void* p) { std::free(p); }
};

// Each pair frees the oldest of `live` blocks and allocates a new one in its place
// (live = 1: allocate, then free at once). The first byte is written so that the
// block is really used.
template <class A> void pairs(benchmark::State& state, size_t live) {
    const std::vector<uint16_t>& sizes = requestSizes();
    std::vector<void*> ring(live);
    size_t next = state.thread_index() * 977; // threads walk the sizes out of step
    for (void*& p : ring)
        p = A::alloc(sizes[next++ % sizes.size()]);
    size_t slot = 0;
    for (auto _ : state) {
        A::release(ring[slot]);
        void* p = A::alloc(sizes[next++ % sizes.size()]);
        *static_cast<volatile char*>(p) = 1;
        ring[slot] = p;
        if (++slot == live) slot = 0;
    }
    for (void* p : ring)
        A::release(p);
    state.SetItemsProcessed(state.iterations());
}

// One lock+unlock pair, the lock never contended.
template <class M> void lockPair(benchmark::State& state) {
    M m;
    for (auto _ : state) {
        m.lock();
        benchmark::ClobberMemory();
        m.unlock();
    }
}

void registerCase(const char* name, size_t live, int threads) {
    const std::string base = name;
    auto* pool = benchmark::RegisterBenchmark((base + "/pubfunc").c_str(), pairs<Pool>, live);
    auto* heap = benchmark::RegisterBenchmark((base + "/malloc").c_str(), pairs<Heap>, live);
    if (threads > 1)
        for (auto* b : {pool, heap})
            b->Threads(threads)->UseRealTime(); // CPU time would sum the threads
}

// Registered once, before main runs the benchmarks.
// A thread is started and joined first: hosts are always multi-threaded, and
// glibc's locks skip their atomic instructions until a process starts its first
// thread, which would measure std::mutex in a state no host ever sees.
const bool s_registered = [] {
    std::thread([] {}).join();
    registerCase("pair_live1", 1, 1);
    registerCase("pair_live1000", 1000, 1);
    registerCase("pair_live1_2threads", 1, 2);
    registerCase("pair_live1000_2threads", 1000, 2);
    benchmark::RegisterBenchmark("lock_unlock/pubfunc", lockPair<ZvCriticalSection>);
    benchmark::RegisterBenchmark("lock_unlock/std::mutex", lockPair<std::mutex>);
    benchmark::RegisterBenchmark("lock_unlock/std::recursive_mutex",
                                 lockPair<std::recursive_mutex>);
    return true;
}();

} // namespace

PUBFUNC_BENCH_MAIN()
