// Log lines per second: VTQ::VTQLogger against spdlog's basic file sink flushed on
// every line (the library flushes every line too), one and four threads.
#include "bench_ratio.h"

#include <pubfunc/vtqlogger.h>

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// 60 characters of message text.
const char kMessage[] = "frame 000123 encoded in 4.2 ms, queue depth 3, bitrate 2500k";
static_assert(sizeof kMessage - 1 == 60, "a 60-character message");

std::string scratch(const char* name) {
    return std::string("/tmp/pubfunc-bench-") + name;
}

// Puts both logs on disk before a case is timed: each run writes hundreds of
// megabytes, and without this the case that runs next pays for writing back the
// lines of the case before it (or of the previous run).
void settle(const benchmark::State& state) {
    if (state.thread_index() != 0) return;
    for (const char* name : {"vtq.log", "spdlog.log"}) {
        const int fd = open(scratch(name).c_str(), O_RDONLY);
        if (fd < 0) continue;
        fsync(fd);
        close(fd);
    }
}

void BM_LogPubfunc(benchmark::State& state) {
    static const bool opened = [] {
        const std::string path = scratch("vtq.log");
        std::remove(path.c_str());
        const wstring16 wide(path.begin(), path.end());
        return VTQ::VTQLogger::Instance()->InitLog(wide.c_str());
    }();
    if (!opened) state.SkipWithError("InitLog failed");
    const wstring16 message(kMessage, kMessage + 60);
    settle(state);
    for (auto _ : state)
        VTQ::VTQLogger::Instance()->LogInfo(W16("%s"), message.c_str());
    state.SetItemsProcessed(state.iterations());
}

void BM_LogSpdlog(benchmark::State& state) {
    static std::shared_ptr<spdlog::logger> logger = [] {
        const std::string path = scratch("spdlog.log");
        std::remove(path.c_str());
        auto l = spdlog::basic_logger_mt("bench", path, true);
        l->flush_on(spdlog::level::trace);
        return l;
    }();
    settle(state);
    for (auto _ : state)
        logger->info("{}", kMessage);
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_LogPubfunc)->Name("log_line/pubfunc")->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(BM_LogSpdlog)->Name("log_line/spdlog")->Threads(1)->Threads(4)->UseRealTime();

PUBFUNC_BENCH_MAIN()
