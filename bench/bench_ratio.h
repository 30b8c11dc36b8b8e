// A Google Benchmark main that pairs each library case with its peers and prints
// the ratio of their times, with how steady each figure is. Name benchmarks
// "case/impl[/args...]": an impl that starts with "pubfunc" is the library (variants
// such as "pubfunc-codec" each get a row), any other impl is a peer of the same
// case and args.
//
// Repetitions: unless the command line says otherwise the main runs 5 repetitions
// and reports their aggregates only. The ratio uses the medians; each figure's
// coefficient of variation (standard deviation over mean of the repetitions) is
// printed beside it, and a figure whose repetitions vary by more than 10% is
// flagged: its ratio is not a result until a quieter run confirms it.
//
// Steady state: glibc gives the top of the heap back to the kernel whenever more
// than 128 KiB is free there, and serves blocks from 128 KiB up with fresh
// mappings that it unmaps on free. A case that frees everything it built at the
// end of each iteration (a parser reloading into the same document does) then
// pays a page fault for every page on the next iteration, which on a virtual
// machine costs more than the work measured. The main keeps freed memory in the
// process instead, for every case alike, so each library is measured on a warm
// heap. --bench_cold_heap keeps glibc's defaults to show the other figure.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace pf_bench {

// Repetitions whose coefficient of variation passes this are flagged as unsteady.
constexpr double kUnsteadyCv = 0.10;

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            std::string name = run.benchmark_name();
            const std::string stat = run.run_type == Run::RT_Aggregate ? run.aggregate_name : "";
            if (!stat.empty()) {
                if (stat != "median" && stat != "mean" && stat != "stddev") continue;
                name.resize(name.size() - stat.size() - 1); // "_median" and the like
            } else if (run.repetitions > 1) {
                continue; // the aggregates stand for the repetitions
            }
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
            Figure& f = times_[name.substr(0, slash) + rest][impl];
            if (stat == "mean")
                f.mean = ns;
            else if (stat == "stddev")
                f.stddev = ns;
            else
                f.ns = ns; // the median, or the only run
            f.repetitions = stat.empty() ? 1 : run.repetitions;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        int width = 4;
        for (const auto& entry : times_)
            width = std::max(width, int(entry.first.size()));
        std::printf("\n%-*s %-16s %-12s %13s %6s %13s %6s %8s\n", width, "case", "library", "peer",
                    "library ns", "cv", "peer ns", "cv", "ratio");
        for (const auto& entry : times_)
            for (const auto& lib : entry.second) {
                if (!isLibrary(lib.first)) continue;
                for (const auto& peer : entry.second) {
                    if (isLibrary(peer.first)) continue;
                    std::printf("%-*s %-16s %-12s %13.1f %6s %13.1f %6s %7.3gx%s\n", width,
                                entry.first.c_str(), lib.first.c_str(), peer.first.c_str(),
                                lib.second.ns, lib.second.cvText().c_str(), peer.second.ns,
                                peer.second.cvText().c_str(), lib.second.ns / peer.second.ns,
                                lib.second.unsteady() || peer.second.unsteady() ? "  unsteady"
                                                                                : "");
                }
            }
        std::printf("(ratio = library time / peer time per iteration, medians of the repetitions,\n"
                    " CPU time unless the case says real_time; below 1 means the library is\n"
                    " faster; cv = standard deviation / mean of the repetitions)\n");
        if (!heapNote_.empty()) std::printf("Heap: %s.\n", heapNote_.c_str());
        std::vector<std::string> unsteady;
        bool single = false;
        for (const auto& entry : times_)
            for (const auto& impl : entry.second) {
                single = single || impl.second.repetitions < 2;
                if (impl.second.unsteady())
                    unsteady.push_back(entry.first + " " + impl.first + " (cv " +
                                       impl.second.cvText() + ")");
            }
        if (single)
            std::printf("Figures without a cv ran once: pass --benchmark_repetitions=5 or more.\n");
        if (unsteady.empty()) return;
        std::printf("Unsteady, repetitions vary by more than %.0f%%:\n", kUnsteadyCv * 100);
        for (const std::string& u : unsteady)
            std::printf("  %s\n", u.c_str());
    }

    // One line under the table saying how the heap was set up for the run.
    void setHeapNote(const std::string& note) { heapNote_ = note; }

private:
    struct Figure {
        double ns = 0, mean = 0, stddev = 0;
        long repetitions = 0;
        bool hasCv() const { return repetitions > 1 && mean > 0; }
        double cv() const { return stddev / mean; }
        bool unsteady() const { return hasCv() && cv() > kUnsteadyCv; }
        std::string cvText() const {
            if (!hasCv()) return "-";
            char text[16];
            std::snprintf(text, sizeof text, "%.1f%%", cv() * 100);
            return text;
        }
    };
    static bool isLibrary(const std::string& impl) { return impl.compare(0, 7, "pubfunc") == 0; }

    std::map<std::string, std::map<std::string, Figure>> times_;
    std::string heapNote_;
};

// Keeps every freed block in the process (see the top of this file); false when
// the C library has no such knobs or refused them. Setting them also stops glibc
// from moving its thresholds with the history of the run, so a case's figure no
// longer depends on which cases ran before it.
inline bool keepFreedMemory() {
#if defined(__GLIBC__)
    return mallopt(M_TRIM_THRESHOLD, 1 << 30) == 1 && // never give the heap top back
           mallopt(M_MMAP_THRESHOLD, 32 << 20) == 1;  // blocks up to 32 MiB from the heap
#else
    return false;
#endif
}

inline int runWithRatios(int argc, char** argv) {
    // Defaults go first, so that the same flags given on the command line win.
    std::vector<char*> args(argv, argv + argc);
    static char repetitions[] = "--benchmark_repetitions=5";
    static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + (argc > 0 ? 1 : 0), {repetitions, aggregatesOnly});
    bool cold = false;
    for (auto it = args.begin(); it != args.end();)
        if (std::strcmp(*it, "--bench_cold_heap") == 0) {
            cold = true;
            it = args.erase(it);
        } else {
            ++it;
        }
    const char* heap = "the C library's defaults (--bench_cold_heap)";
    if (!cold)
        heap = keepFreedMemory() ? "freed memory stays in the process"
                                 : "the C library's defaults (freed memory could not be kept)";
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    RatioReporter reporter;
    reporter.setHeapNote(heap);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace pf_bench

#define PUBFUNC_BENCH_MAIN()                                                                       \
    int main(int argc, char** argv) {                                                              \
        return pf_bench::runWithRatios(argc, argv);                                                \
    }
