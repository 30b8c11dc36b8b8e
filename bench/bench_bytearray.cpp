// ZvByteArray against std::string in one run: appends, shared copies, searches.
// Each case runs as <case>/ZvByteArray and <case>/std::string; a table of the
// library's time over the peer's follows the usual report.
#include <pubfunc/zvbytearray.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
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

BENCHMARK(Append1Byte_ZvByteArray)->Unit(benchmark::kMillisecond);
BENCHMARK(Append1Byte_String)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyShared1KiB_ZvByteArray);
BENCHMARK(CopyShared1KiB_String);
BENCHMARK(CopyThenWrite1KiB_ZvByteArray);
BENCHMARK(CopyThenWrite1KiB_String);
BENCHMARK(Search_ZvByteArray<false>)
    ->Name("IndexOf8in1MiB_ZvByteArray")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(Search_String<false>)->Name("IndexOf8in1MiB_String")->Unit(benchmark::kMicrosecond);
BENCHMARK(Search_ZvByteArray<true>)
    ->Name("LastIndexOf8in1MiB_ZvByteArray")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(Search_String<true>)->Name("LastIndexOf8in1MiB_String")->Unit(benchmark::kMicrosecond);

// Keeps each run's CPU time per iteration (ns) by name while the console report goes
// on: CPU time, because the machine is shared and wall time counts other processes.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration)
                ns[r.benchmark_name()] = r.GetAdjustedCPUTime() *
                                         benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                         benchmark::GetTimeUnitMultiplier(r.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> ns;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-20s %20s %20s %8s\n", "case", "ZvByteArray CPU ns", "std::string CPU ns",
                "ratio");
    for (const auto& [name, ours] : reporter.ns) {
        const std::string base = name.substr(0, name.find('_'));
        if (name != base + "_ZvByteArray") continue;
        const auto peer = reporter.ns.find(base + "_String");
        if (peer == reporter.ns.end()) continue;
        std::printf("%-20s %20.1f %20.1f %8.2f\n", base.c_str(), ours, peer->second,
                    ours / peer->second);
    }
    benchmark::Shutdown();
    return 0;
}
