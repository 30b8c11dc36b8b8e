// Converting 1920 x 1080 frames to I420 at equal size: RGBScale against libswscale
// called directly with the same context parameters (the object's overhead) and
// against libyuv's ARGBToI420 / YUY2ToI420. After the shared table, prints frames
// per second of each and the share of a 60 fps frame budget that one frame takes.
#include "bench_ratio.h"

#include <pubfunc/rgbscale.h>

extern "C" {
#include <libswscale/swscale.h>
}
#include <libyuv.h>

#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1920, kH = 1080;
constexpr size_t kLuma = size_t(kW) * kH;

std::vector<unsigned char> frame(int bytesPerPixel) {
    std::vector<unsigned char> f(kLuma * bytesPerPixel);
    for (size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<unsigned char>(i * 7 + i / 4096);
    return f;
}

void countFrames(benchmark::State& state) {
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Pubfunc(benchmark::State& state, bool yuyv) {
    RGBScale s;
    std::vector<unsigned char> src = frame(yuyv ? 2 : 4);
    unsigned char* out = nullptr;
    if (yuyv)
        s.initYUV422ToI420(kW, kH, kW, kH);
    else
        s.initRGB32ToI420(kW, kH, kW, kH);
    for (auto _ : state) {
        if (yuyv)
            s.convertYUV422ToI420(src.data(), out);
        else
            s.convertRGB32ToI420(src.data(), out);
        benchmark::DoNotOptimize(out);
    }
    if (!out) state.SkipWithError("no libswscale");
    countFrames(state);
}

void BM_Swscale(benchmark::State& state, bool yuyv) {
    std::vector<unsigned char> src = frame(yuyv ? 2 : 4), dst(kLuma * 3 / 2);
    SwsContext* c = sws_getContext(kW, kH, yuyv ? AV_PIX_FMT_YUYV422 : AV_PIX_FMT_BGRA, kW, kH,
                                   AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr, nullptr);
    const unsigned char* const srcPlanes[4] = {src.data()};
    const int srcStrides[4] = {kW * (yuyv ? 2 : 4)};
    unsigned char* const dstPlanes[4] = {dst.data(), dst.data() + kLuma,
                                         dst.data() + kLuma * 5 / 4};
    const int dstStrides[4] = {kW, kW / 2, kW / 2};
    for (auto _ : state)
        benchmark::DoNotOptimize(sws_scale(c, srcPlanes, srcStrides, 0, kH, dstPlanes, dstStrides));
    sws_freeContext(c);
    countFrames(state);
}

void BM_Libyuv(benchmark::State& state, bool yuyv) {
    std::vector<unsigned char> src = frame(yuyv ? 2 : 4), dst(kLuma * 3 / 2);
    unsigned char *y = dst.data(), *u = y + kLuma, *v = u + kLuma / 4;
    for (auto _ : state) {
        if (yuyv)
            libyuv::YUY2ToI420(src.data(), kW * 2, y, kW, u, kW / 2, v, kW / 2, kW, kH);
        else
            libyuv::ARGBToI420(src.data(), kW * 4, y, kW, u, kW / 2, v, kW / 2, kW, kH);
        benchmark::DoNotOptimize(dst.data());
    }
    countFrames(state);
}

// The shared table, then frames per second (the medians) and the 60 fps budget share.
class FpsReporter : public pf_bench::RatioReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto fps = run.counters.find("fps");
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!run.error_occurred && fps != run.counters.end() &&
                (median || (run.run_type == Run::RT_Iteration && run.repetitions <= 1)))
                fps_[run.run_name.function_name] = fps->second.value;
        }
        RatioReporter::ReportRuns(runs);
    }
    void Finalize() override {
        RatioReporter::Finalize();
        std::printf("\n%-16s %-10s %10s %18s\n", "case", "impl", "fps", "share of 16.7 ms");
        for (const auto& f : fps_) {
            const size_t slash = f.first.find('/');
            std::printf("%-16s %-10s %10.1f %17.1f%%\n", f.first.substr(0, slash).c_str(),
                        f.first.substr(slash + 1).c_str(), f.second, 100 * 60 / f.second);
        }
        for (const char* c : {"rgb32_to_i420", "yuyv_to_i420"}) {
            const std::string name = c;
            const double lib = fps_[name + "/pubfunc"], direct = fps_[name + "/swscale"];
            if (lib > 0 && direct > 0)
                std::printf("%s: RGBScale overhead over direct libswscale %+.2f%%\n", c,
                            100 * (direct / lib - 1));
        }
    }

private:
    std::map<std::string, double> fps_;
};

} // namespace

BENCHMARK_CAPTURE(BM_Pubfunc, rgb32, false)->Name("rgb32_to_i420/pubfunc");
BENCHMARK_CAPTURE(BM_Swscale, rgb32, false)->Name("rgb32_to_i420/swscale");
BENCHMARK_CAPTURE(BM_Libyuv, rgb32, false)->Name("rgb32_to_i420/libyuv");
BENCHMARK_CAPTURE(BM_Pubfunc, yuyv, true)->Name("yuyv_to_i420/pubfunc");
BENCHMARK_CAPTURE(BM_Swscale, yuyv, true)->Name("yuyv_to_i420/swscale");
BENCHMARK_CAPTURE(BM_Libyuv, yuyv, true)->Name("yuyv_to_i420/libyuv");

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    static char repetitions[] = "--benchmark_repetitions=5";
    static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + 1, {repetitions, aggregatesOnly});
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    FpsReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
