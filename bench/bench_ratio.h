// A Google Benchmark main that pairs each library case with its peers and prints
// the ratio of their times. Name benchmarks "case/impl[/args...]": the impl
// "pubfunc" is the library, any other impl is a peer of the same case and args.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pf_bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const std::string name = run.benchmark_name();
            const size_t slash = name.find('/');
            if (slash == std::string::npos) continue;
            const size_t end = name.find('/', slash + 1);
            const std::string impl = name.substr(slash + 1, end - slash - 1);
            const std::string key =
                name.substr(0, slash) + (end == std::string::npos ? "" : name.substr(end));
            // CPU time per iteration in ns, since the machine is shared and wall time
            // counts other processes; real time where the benchmark asked for it
            // (threaded cases, whose CPU time sums the threads).
            const bool real = name.find("/real_time") != std::string::npos;
            const double perItem = (real ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime()) *
                                   benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                   benchmark::GetTimeUnitMultiplier(run.time_unit);
            times_[key].push_back({impl, perItem});
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-40s %-14s %14s %14s %8s\n", "case", "peer", "pubfunc", "peer", "ratio");
        for (const auto& entry : times_) {
            double lib = -1;
            for (const auto& t : entry.second)
                if (t.first == "pubfunc") lib = t.second;
            if (lib < 0) continue;
            for (const auto& t : entry.second) {
                if (t.first == "pubfunc") continue;
                std::printf("%-40s %-14s %11.1f ns %11.1f ns %7.2fx\n", entry.first.c_str(),
                            t.first.c_str(), lib, t.second, lib / t.second);
            }
        }
        std::printf("(ratio = pubfunc time / peer time per iteration, CPU time unless the case\n"
                    " says real_time; below 1 means the library is faster)\n");
    }

private:
    std::map<std::string, std::vector<std::pair<std::string, double>>> times_;
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
