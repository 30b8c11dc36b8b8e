// pubfunc's frame-rate counters on a clock the test drives, and GetRandomNum's
// generator.
#include <pubfunc/pubfunc.h>
#include <pubfunc/vtqlogger.h>

#include "sys/fps_internal.h"
#include "sys/random.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

unsigned int g_tick = 0;
unsigned int testTick() {
    return g_tick;
}

// The frame-rate lines logged since the last call, from "pubfunc::" on. The log
// is opened once per process, in a file named after the test.
std::vector<std::string> newFpsLines() {
    static size_t seen = 0;
    static const std::filesystem::path path = [] {
        const std::filesystem::path p =
            std::filesystem::temp_directory_path() /
            (std::string("pubfunc_fps_") +
             testing::UnitTest::GetInstance()->current_test_info()->name() + ".log");
        std::filesystem::remove(p);
#if defined(_WIN32)
        EXPECT_TRUE(VTQ::VTQLogger::Instance()->InitLog(p.wstring().c_str()));
#else
        EXPECT_TRUE(VTQ::VTQLogger::Instance()->InitLog(p.u16string().c_str()));
#endif
        return p;
    }();
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (line.find("pubfunc::") != std::string::npos)
            lines.push_back(
                line.substr(line.find("pubfunc::"), line.find('\r') - line.find("pubfunc::")));
    lines.erase(lines.begin(), lines.begin() + long(seen));
    seen += lines.size();
    return lines;
}

// The test's clock, and the log opened before the first counted call.
struct ClockGuard {
    ClockGuard() {
        pf::sys::setTickSource(testTick);
        newFpsLines();
    }
    ~ClockGuard() { pf::sys::setTickSource(nullptr); }
};

const std::string kPrefix = "pubfunc::_updatePublishFPS  cam AVG_FPS : ";

} // namespace

// Each row: the counter before, the calls (tick, and the tail of the line it
// logs or "" for none), the counter after.
TEST(pubfunc, FrameRateWindowEdges) {
    ClockGuard clock;
    struct Step {
        unsigned tick;
        const char* logged;
    };
    struct Row {
        const char* what;
        int window;
        unsigned count, start;
        std::vector<Step> steps;
        unsigned countAfter, startAfter;
    };
    const Row rows[] = {
        {"first call starts, exactly the window does not log",
         5000,
         0,
         0,
         {{1000, ""}, {6000, ""}, {6001, "0 FPS : 2"}},
         0,
         6001},
        {"window across the tick's wrap",
         5000,
         9,
         0xFFFFF000u,
         {{904, ""}, {905, "2 FPS : 11"}},
         0,
         905},
        {"a start reset to 0 restarts", 5000, 7, 0, {{500, ""}}, 0, 500},
        {"a start ahead of the tick never ends the window", 5000, 0, 10000, {{9000, ""}}, 1, 10000},
        {"the average is truncated", 20000, 99, 1000, {{21001, "4 FPS : 100"}}, 0, 21001},
    };
    for (const Row& row : rows) {
        unsigned count = row.count, start = row.start;
        for (const Step& step : row.steps) {
            g_tick = step.tick;
            pf::sys::updateFps(count, start, W16("cam"), row.window);
            const std::vector<std::string> lines = newFpsLines();
            const std::vector<std::string> want =
                *step.logged ? std::vector<std::string>{kPrefix + step.logged}
                             : std::vector<std::string>{};
            EXPECT_EQ(lines, want) << row.what << ", tick " << step.tick;
        }
        EXPECT_EQ(count, row.countAfter) << row.what;
        EXPECT_EQ(start, row.startAfter) << row.what;
    }
}

// 30 frames a second for two 20-second windows: each logs 30 a second and the
// window's 601 frames (the first over 20,000 ms arrives at 20,033 ms).
TEST(pubfunc, FrameRateOfASteadyStream) {
    ClockGuard clock;
    unsigned count = 0, start = 0;
    for (unsigned i = 0; i <= 1202; ++i) {
        g_tick = 1000 + i * 100 / 3;
        pf::sys::updateFps(count, start, W16("cam"), 20000);
    }
    const std::vector<std::string> want(2, kPrefix + "30 FPS : 601");
    EXPECT_EQ(newFpsLines(), want);
}

// Each stage has its own counter and window: the call one past the window logs.
TEST(pubfunc, FrameRateStagesAndTheirWindows) {
    ClockGuard clock;
    const std::tuple<void (*)(const wstring16&), unsigned, std::string> stages[] = {
        {pubfunc::updatePublishSendFPS, 20000, "send"},
        {pubfunc::updatePublishCaptureFPS, 20000, "capture"},
        {pubfunc::updateBeforeEncodeFPS, 5000, "before"},
        {pubfunc::updateAfterEncodeFPS, 5000, "after"},
    };
    unsigned base = 1000;
    for (const auto& [update, window, name] : stages) {
        const wstring16 wide(name.begin(), name.end());
        for (const unsigned offset : {0u, window, window + 1}) {
            g_tick = base + offset;
            update(wide);
        }
        base += 100000;
        const std::vector<std::string> want{"pubfunc::_updatePublishFPS  " + name +
                                            " AVG_FPS : 0 FPS : 2"};
        EXPECT_EQ(newFpsLines(), want) << name;
    }
}

// The same sequence as the Windows runtime's rand after srand(1).
TEST(pubfunc, RandomGeneratorSequence) {
    pf::sys::seedRandom(1);
    for (const int want : {41, 18467, 6334, 26500, 19169})
        EXPECT_EQ(pf::sys::drawRandom(), want);
}
