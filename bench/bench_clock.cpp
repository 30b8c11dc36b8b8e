// CPUClock: the cost of one getQPCTimeNS against std::chrono::steady_clock::now()
// in the same run, then how late sleepToNS wakes over 1,000 sleeps of 1 to 16 ms
// (p50, p99, max; the goal is a p99 under 1.2 ms).
#include <pubfunc/cpuclock.h>
#include <pubfunc/pubfunc.h>

#include "bench_ratio.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

void nowLibrary(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(CPUClock::getQPCTimeNS());
}
BENCHMARK(nowLibrary)->Name("now/pubfunc");

void nowSteadyClock(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(std::chrono::steady_clock::now());
}
BENCHMARK(nowSteadyClock)->Name("now/steady_clock");

// The sleeps cycle through 1 to 16 ms, so that every length is equally present.
void sleepLateness() {
    std::vector<unsigned long long> late;
    for (int i = 0; i < 1000; ++i) {
        const unsigned long long target = CPUClock::getQPCTimeNS() + (i % 16 + 1) * 1000000ull;
        CPUClock::sleepToNS(target);
        late.push_back(CPUClock::getQPCTimeNS() - target);
    }
    std::sort(late.begin(), late.end());
    std::printf("\nsleepToNS lateness over 1,000 sleeps of 1 to 16 ms: p50 %.3f ms, p99 %.3f ms, "
                "max %.3f ms\n",
                late[499] / 1e6, late[989] / 1e6, late.back() / 1e6);
}

} // namespace

int main(int argc, char** argv) {
    pubfunc::initPubfunc();
    CPUClock::initClockFreq();
    const int result = pf_bench::runWithRatios(argc, argv);
    if (result == 0) sleepLateness();
    return result;
}
