// A Google Benchmark main that pairs each library case with its peers and prints
// the ratio of their times. Name benchmarks "case/impl[/args...]": an impl that
// starts with "pubfunc" is the library (variants such as "pubfunc-codec" each get
// a row), any other impl is a peer of the same case and args. With
// --benchmark_repetitions the median is used.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace pf_bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type == Run::RT_Aggregate && !median)) continue;
            if (!median && run.repetitions > 1) continue; // the median stands for them
            std::string name = run.benchmark_name();
            if (median) name.resize(name.size() - std::string("_median").size());
            const size_t slash = name.find('/');
            if (slash == std::string::npos) continue;
            const size_t end = name.find('/', slash + 1);
            const std::string impl = name.substr(slash + 1, end - slash - 1);
            const std::string rest = end == std::string::npos ? "" : name.substr(end);
            // CPU time per iteration in ns, since the machine is shared and wall time
            // counts other processes; real time where the benchmark asked for it
            // (threaded cases, whose CPU time sums the threads).
            const bool real = name.find("/real_time") != std::string::npos;
            const double ns = (real ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime()) *
                              benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                              benchmark::GetTimeUnitMultiplier(run.time_unit);
            times_[name.substr(0, slash) + rest][impl] = ns;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-44s %-16s %-12s %14s %14s %7s\n", "case", "library", "peer", "library ns",
                    "peer ns", "ratio");
        for (const auto& entry : times_)
            for (const auto& lib : entry.second) {
                if (lib.first.compare(0, 7, "pubfunc") != 0) continue;
                for (const auto& peer : entry.second) {
                    if (peer.first.compare(0, 7, "pubfunc") == 0) continue;
                    std::printf("%-44s %-16s %-12s %14.1f %14.1f %7.3gx\n", entry.first.c_str(),
                                lib.first.c_str(), peer.first.c_str(), lib.second, peer.second,
                                lib.second / peer.second);
                }
            }
        std::printf("(ratio = library time / peer time per iteration, CPU time unless the case\n"
                    " says real_time; below 1 means the library is faster)\n");
    }

private:
    std::map<std::string, std::map<std::string, double>> times_;
};

inline int runWithRatios(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace pf_bench

#define PUBFUNC_BENCH_MAIN()                                                                       \
    int main(int argc, char** argv) {                                                              \
        return pf_bench::runWithRatios(argc, argv);                                                \
    }
