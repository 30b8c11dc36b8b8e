// Writing a recording: FlvFile against plain fwrite of the same tag bytes into the
// same folder, 1,000 frames of 100 KB per iteration. Opening and writing are timed;
// the writer's construction (its frame buffer), closing and removing the file are
// not. Prints MB/s of both and their ratio after the shared table.
#include "bench_ratio.h"

#include <pubfunc/flvfile.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 1000;
constexpr unsigned kFrameSize = 100000;
constexpr size_t kTagSize = kFrameSize + 20; // what FlvFile writes per frame

const fs::path kFolder = "/tmp/pubfunc-bench-flv";

std::vector<unsigned char> noise(size_t n) {
    std::mt19937 random(7);
    std::vector<unsigned char> bytes(n);
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(random());
    return bytes;
}

void emptyFolder() {
    fs::remove_all(kFolder);
    fs::create_directories(kFolder);
}

void BM_FlvPubfunc(benchmark::State& state) {
    std::vector<unsigned char> frame = noise(kFrameSize);
    const std::string config(40, '\x01');
    const std::u16string folder = kFolder.u16string();
    for (auto _ : state) {
        state.PauseTiming();
        emptyFolder();
        auto writer = std::make_unique<FlvFile>();
        writer->setOutputFolder(wstring16(folder.begin(), folder.end()).c_str());
        state.ResumeTiming();
        for (int i = 0; i < kFrames; ++i)
            writer->saveVideoRawH264Data(config, frame.data(), kFrameSize, 40 + 33 * i, 40 + 33 * i,
                                         i % 30 == 0);
        state.PauseTiming();
        writer.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * int64_t(kTagSize));
}

void BM_FlvFwrite(benchmark::State& state) {
    const std::vector<unsigned char> tag = noise(kTagSize);
    const std::string path = (kFolder / "plain.flv").string();
    for (auto _ : state) {
        state.PauseTiming();
        emptyFolder();
        state.ResumeTiming();
        FILE* f = std::fopen(path.c_str(), "wb");
        for (int i = 0; i < kFrames && f; ++i)
            std::fwrite(tag.data(), 1, kTagSize, f);
        state.PauseTiming();
        if (f) std::fclose(f);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * int64_t(kTagSize));
}

// The shared table, then the throughput of each side (the median with repetitions).
class ThroughputReporter : public pf_bench::RatioReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const auto rate = run.counters.find("bytes_per_second");
            if (run.error_occurred || rate == run.counters.end()) continue;
            if (median || (run.run_type == Run::RT_Iteration && run.repetitions <= 1))
                mbPerSecond_[run.run_name.function_name] = rate->second.value / 1e6;
        }
        RatioReporter::ReportRuns(runs);
    }
    void Finalize() override {
        RatioReporter::Finalize();
        const double flv = mbPerSecond_["flv_write/pubfunc"];
        const double plain = mbPerSecond_["flv_write/fwrite"];
        std::printf("\nflv_write: FlvFile %.0f MB/s, fwrite %.0f MB/s, FlvFile/fwrite %.3f\n", flv,
                    plain, plain > 0 ? flv / plain : 0.0);
        fs::remove_all(kFolder);
    }

private:
    std::map<std::string, double> mbPerSecond_;
};

} // namespace

BENCHMARK(BM_FlvPubfunc)->Name("flv_write/pubfunc")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlvFwrite)->Name("flv_write/fwrite")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    ThroughputReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
