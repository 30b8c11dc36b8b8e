// ZvByteArray against std::string in one run: appends, shared copies, searches.
// Each case runs as <case>/pubfunc and <case>/std::string; a table of the library's
// time over the peer's follows the usual report.
#include <pubfunc/zvbytearray.h>

#include "bench_ratio.h"

#include <random>
#include <string>

namespace {

constexpr int kAppends = 10'000'000;
constexpr int kCopyBytes = 1024;
constexpr int kHaystack = 1 << 20;

// Lower-case letters, so the needle's first byte recurs every few dozen bytes.
std::string letters(int n) {
    std::mt19937 rng(7);
    std::string s(size_t(n), 'a');
    for (char& c : s)
        c = char('a' + rng() % 26);
    return s;
}

// The 8-byte needle sits once, near the far end of the scan: after the middle of a
// run of letters for the forward search, before it for the backward one.
const std::string kNeedle = "q7z!k2w#";
std::string haystack(bool needleNearStart) {
    std::string s = letters(kHaystack);
    s.replace(needleNearStart ? 64 : size_t(kHaystack - 64), kNeedle.size(), kNeedle);
    return s;
}

void Append1Byte_ZvByteArray(benchmark::State& state) {
    for (auto _ : state) {
        ZvByteArray a;
        for (int i = 0; i < kAppends; ++i)
            a.append(char(i));
        benchmark::DoNotOptimize(a.constData());
    }
}
void Append1Byte_String(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < kAppends; ++i)
            s.push_back(char(i));
        benchmark::DoNotOptimize(s.data());
    }
}

void CopyShared1KiB_ZvByteArray(benchmark::State& state) {
    const ZvByteArray src(letters(kCopyBytes).c_str());
    for (auto _ : state) {
        ZvByteArray copy(src);
        benchmark::DoNotOptimize(copy.constData());
    }
}
void CopyShared1KiB_String(benchmark::State& state) {
    const std::string src = letters(kCopyBytes);
    for (auto _ : state) {
        std::string copy(src);
        benchmark::DoNotOptimize(copy.data());
    }
}

void CopyThenWrite1KiB_ZvByteArray(benchmark::State& state) {
    const ZvByteArray src(letters(kCopyBytes).c_str());
    for (auto _ : state) {
        ZvByteArray copy(src);
        copy[0] = 'y'; // the copy detaches: one allocation and 1 KiB copied
        benchmark::DoNotOptimize(copy.constData());
    }
}
void CopyThenWrite1KiB_String(benchmark::State& state) {
    const std::string src = letters(kCopyBytes);
    for (auto _ : state) {
        std::string copy(src);
        copy[0] = 'y';
        benchmark::DoNotOptimize(copy.data());
    }
}

// Forward (indexOf, find) or backward (lastIndexOf, rfind) over the whole MiB.
template <bool Backward> void Search_ZvByteArray(benchmark::State& state) {
    const ZvByteArray hay(haystack(Backward).c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(Backward ? hay.lastIndexOf(kNeedle.c_str())
                                          : hay.indexOf(kNeedle.c_str()));
}
template <bool Backward> void Search_String(benchmark::State& state) {
    const std::string hay = haystack(Backward);
    for (auto _ : state)
        benchmark::DoNotOptimize(Backward ? hay.rfind(kNeedle) : hay.find(kNeedle));
}

} // namespace

BENCHMARK(Append1Byte_ZvByteArray)
    ->Name("append_1byte_x10M/pubfunc")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(Append1Byte_String)->Name("append_1byte_x10M/std::string")->Unit(benchmark::kMillisecond);
BENCHMARK(CopyShared1KiB_ZvByteArray)->Name("copy_shared_1KiB/pubfunc");
BENCHMARK(CopyShared1KiB_String)->Name("copy_shared_1KiB/std::string");
BENCHMARK(CopyThenWrite1KiB_ZvByteArray)->Name("copy_then_write_1KiB/pubfunc");
BENCHMARK(CopyThenWrite1KiB_String)->Name("copy_then_write_1KiB/std::string");
BENCHMARK(Search_ZvByteArray<false>)
    ->Name("indexOf_8_in_1MiB/pubfunc")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(Search_String<false>)
    ->Name("indexOf_8_in_1MiB/std::string")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(Search_ZvByteArray<true>)
    ->Name("lastIndexOf_8_in_1MiB/pubfunc")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(Search_String<true>)
    ->Name("lastIndexOf_8_in_1MiB/std::string")
    ->Unit(benchmark::kMicrosecond);

PUBFUNC_BENCH_MAIN()
