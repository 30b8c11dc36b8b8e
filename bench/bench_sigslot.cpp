// Emission cost per connected receiver: xsignals::signal against a loop over
// std::vector<std::function<void()>> and against libsigc++'s signal, with 1, 10
// and 100 receivers. The library's signal clones every live connection under its
// lock on each emission (so that receivers run without the lock and may connect,
// disconnect or die meanwhile); the difference to the plain loop is that price.
//
// After the table: the multimedia timer's lateness at 1, 5 and 16 ms periods,
// tick k measured against start + k * period (--bench_timer_seconds=S per period,
// 10 by default, 0 skips it).
#include "bench_ratio.h"

#include <pubfunc/multimediatimer.h>
#include <pubfunc/sigslot.h>

#include <sigc++/sigc++.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace {

struct Receiver : sigslot::has_slots {
    int calls = 0;
    void on() { benchmark::DoNotOptimize(++calls); }
};

void perReceiver(benchmark::State& state) {
    state.counters["per_receiver"] =
        benchmark::Counter(double(state.iterations()) * double(state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_EmitPubfunc(benchmark::State& state) {
    std::vector<Receiver> receivers(size_t(state.range(0)));
    xsignals::signal<void()> signal;
    for (Receiver& r : receivers)
        signal.connect(&r, &Receiver::on);
    for (auto _ : state)
        signal.emit();
    perReceiver(state);
}

void BM_EmitFunction(benchmark::State& state) {
    std::vector<Receiver> receivers(size_t(state.range(0)));
    std::vector<std::function<void()>> calls;
    for (Receiver& r : receivers)
        calls.emplace_back([&r] { r.on(); });
    for (auto _ : state)
        for (auto& call : calls)
            call();
    perReceiver(state);
}

void BM_EmitSigc(benchmark::State& state) {
    std::vector<Receiver> receivers(size_t(state.range(0)));
    sigc::signal<void()> signal;
    for (Receiver& r : receivers)
        signal.connect(sigc::mem_fun(r, &Receiver::on));
    for (auto _ : state)
        signal.emit();
    perReceiver(state);
}

// Ticks recorded on the timer thread into room reserved beforehand.
struct TickLog : sigslot::has_slots {
    std::vector<std::chrono::steady_clock::time_point> at;
    void on() {
        if (at.size() < at.capacity()) at.push_back(std::chrono::steady_clock::now());
    }
};

void timerLateness(int seconds) {
    std::printf("\nMultimedia timer lateness, tick k against start + k * period, %d s each:\n",
                seconds);
    std::printf("%9s %8s %9s %10s %10s %10s\n", "period ms", "ticks", "ticks/s", "p50 us", "p99 us",
                "max us");
    for (unsigned period : {1u, 5u, 16u}) {
        TickLog log;
        log.at.reserve(size_t(seconds) * 1000 / period + 16);
        IMultimediaTimer* timer = getMultimediaTimer();
        timer->timerSignal.connect(&log, &TickLog::on);
        const auto start = std::chrono::steady_clock::now();
        timer->start(period);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        timer->release();
        std::vector<double> late;
        for (size_t k = 0; k < log.at.size(); ++k) {
            const auto due = start + std::chrono::milliseconds(period) * (k + 1);
            late.push_back(std::chrono::duration<double, std::micro>(log.at[k] - due).count());
        }
        if (late.empty()) continue;
        std::sort(late.begin(), late.end());
        std::printf("%9u %8zu %9.1f %10.1f %10.1f %10.1f\n", period, late.size(),
                    double(late.size()) / seconds, late[late.size() / 2],
                    late[std::min(late.size() - 1, late.size() * 99 / 100)], late.back());
    }
}

} // namespace

BENCHMARK(BM_EmitPubfunc)->Name("emit/pubfunc")->Arg(1)->Arg(10)->Arg(100);
BENCHMARK(BM_EmitFunction)->Name("emit/function")->Arg(1)->Arg(10)->Arg(100);
BENCHMARK(BM_EmitSigc)->Name("emit/sigc")->Arg(1)->Arg(10)->Arg(100);

int main(int argc, char** argv) {
    int seconds = 10;
    std::vector<char*> args;
    const char flag[] = "--bench_timer_seconds=";
    for (int i = 0; i < argc; ++i)
        if (std::strncmp(argv[i], flag, sizeof flag - 1) == 0)
            seconds = std::atoi(argv[i] + sizeof flag - 1);
        else
            args.push_back(argv[i]);
    const int rc = pf_bench::runWithRatios(int(args.size()), args.data());
    if (rc == 0 && seconds > 0) timerLateness(seconds);
    return rc;
}
