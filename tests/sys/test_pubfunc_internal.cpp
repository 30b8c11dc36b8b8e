// pubfunc's frame-rate counters on a clock the test drives, and GetRandomNum's
// generator.
#include <pubfunc/pubfunc.h>
#include <pubfunc/vtqlogger.h>

#include "sys/fps_internal.h"
#include "sys/random.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

unsigned int g_tick = 0;

// The frame-rate messages logged since the last call. The first call puts the
// counters on the test's clock and opens the log, in a file named after the test.
std::vector<std::string> newFpsLines() {
    static size_t seen = 0;
    static const std::filesystem::path path = [] {
        pf::sys::setTickSource([] { return g_tick; });
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
        if (const size_t at = line.find("pubfunc::"); at != std::string::npos)
            lines.push_back(line.substr(at, line.find('\r') - at));
    lines.erase(lines.begin(), lines.begin() + long(seen));
    seen += lines.size();
    return lines;
}

const std::string kPrefix = "pubfunc::_updatePublishFPS  cam AVG_FPS : ";

} // namespace

// Each row: the window, the counter before, the calls (tick, and what the line
// it logs ends with, "" for none), the counter after.
TEST(pubfunc, FrameRateWindowEdges) {
    newFpsLines();
    struct Row {
        const char* what;
        int window;
        unsigned count, start;
        std::vector<std::pair<unsigned, std::string>> calls;
        unsigned countAfter, startAfter;
    };
    // clang-format off
    const Row rows[] = {
        {"first call starts; the window's exact end does not log", 5000, 0, 0,
         {{1000, ""}, {6000, ""}, {6001, "0 FPS : 2"}}, 0, 6001},
        {"a window across the tick's wrap", 5000, 9, 0xFFFFF000u, {{904, ""}, {905, "2 FPS : 11"}}, 0, 905},
        {"a start reset to 0 restarts", 5000, 7, 0, {{500, ""}}, 0, 500},
        {"a start ahead of the tick ends nothing", 5000, 0, 10000, {{9000, ""}}, 1, 10000},
        {"the average is truncated", 20000, 99, 1000, {{21001, "4 FPS : 100"}}, 0, 21001},
    };
    // clang-format on
    for (const Row& row : rows) {
        unsigned count = row.count, start = row.start;
        for (const auto& [tick, logged] : row.calls) {
            g_tick = tick;
            pf::sys::updateFps(count, start, W16("cam"), row.window);
            const std::vector<std::string> want(logged.empty() ? 0 : 1, kPrefix + logged);
            EXPECT_EQ(newFpsLines(), want) << row.what << ", tick " << tick;
        }
        EXPECT_EQ(count, row.countAfter) << row.what;
        EXPECT_EQ(start, row.startAfter) << row.what;
    }
}

// 30 frames a second for two 20-second windows: each logs 30 a second and the
// window's 601 frames (the first past 20,000 ms comes at 20,033 ms).
TEST(pubfunc, FrameRateOfASteadyStream) {
    newFpsLines();
    unsigned count = 0, start = 0;
    for (unsigned i = 0; i <= 1202; ++i) {
        g_tick = 1000 + i * 100 / 3;
        pf::sys::updateFps(count, start, W16("cam"), 20000);
    }
    EXPECT_EQ(newFpsLines(), std::vector<std::string>(2, kPrefix + "30 FPS : 601"));
}

// Each stage has its own counter and window: the call one past the window logs.
TEST(pubfunc, FrameRateStagesAndTheirWindows) {
    newFpsLines();
    const std::tuple<void (*)(const wstring16&), unsigned, std::string> stages[] = {
        {pubfunc::updatePublishSendFPS, 20000, "send"},
        {pubfunc::updatePublishCaptureFPS, 20000, "capture"},
        {pubfunc::updateBeforeEncodeFPS, 5000, "before"},
        {pubfunc::updateAfterEncodeFPS, 5000, "after"},
    };
    unsigned base = 1000;
    for (const auto& [update, window, name] : stages) {
        for (const unsigned offset : {0u, window, window + 1}) {
            g_tick = base + offset;
            update(wstring16(name.begin(), name.end()));
        }
        base += 100000;
        const std::string want = "pubfunc::_updatePublishFPS  " + name + " AVG_FPS : 0 FPS : 2";
        EXPECT_EQ(newFpsLines(), std::vector<std::string>{want}) << name;
    }
}

// The same sequence as the Windows runtime's rand after srand(1).
TEST(pubfunc, RandomGeneratorSequence) {
    pf::sys::seedRandom(1);
    for (const int want : {41, 18467, 6334, 26500, 19169})
        EXPECT_EQ(pf::sys::drawRandom(), want);
}
