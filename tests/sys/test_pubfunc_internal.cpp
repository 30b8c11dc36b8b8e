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
        const std::u16string u = p.u16string();
        EXPECT_TRUE(VTQ::VTQLogger::Instance()->InitLog(wstring16(u.begin(), u.end()).c_str()));
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
        {"30 a second", 20000, 600, 1000, {{21033, "30 FPS : 601"}}, 0, 21033},
    };
    // clang-format on
    for (const Row& row : rows) {
        unsigned count = row.count, start = row.start;
        for (const auto& [tick, logged] : row.calls) {
            g_tick = tick;
            pf::sys::updateFps(count, start, W16("cam"), row.window);
            const std::vector<std::string> want(
                logged.empty() ? 0 : 1, "pubfunc::_updatePublishFPS  cam AVG_FPS : " + logged);
            EXPECT_EQ(newFpsLines(), want) << row.what << ", tick " << tick;
        }
        EXPECT_EQ(count, row.countAfter) << row.what;
        EXPECT_EQ(start, row.startAfter) << row.what;
    }
}

// Each stage has its own counter and window (5 or 20 seconds): the call one past the
// window logs, the one at its end does not.
TEST(pubfunc, FrameRateStagesAndTheirWindows) {
    newFpsLines();
    void (*const stages[])(const wstring16&) = {
        pubfunc::updatePublishSendFPS, pubfunc::updatePublishCaptureFPS,
        pubfunc::updateBeforeEncodeFPS, pubfunc::updateAfterEncodeFPS};
    for (const unsigned tick : {1000u, 6000u, 6001u, 11001u, 21000u, 21001u}) {
        g_tick = tick;
        for (int i = 0; i < 4; ++i)
            stages[i](wstring16(1, wchar16('a' + i)));
    }
    const auto line = [](char stage, char frames) {
        return "pubfunc::_updatePublishFPS  " + std::string(1, stage) +
               " AVG_FPS : 0 FPS : " + frames;
    };
    EXPECT_EQ(newFpsLines(),
              (std::vector<std::string>{line('c', '2'), line('d', '2'), line('c', '2'),
                                        line('d', '2'), line('a', '5'), line('b', '5')}));
}

// The same sequence as the Windows runtime's rand after srand(1).
TEST(pubfunc, RandomGeneratorSequence) {
    pf::sys::seedRandom(1);
    for (const int want : {41, 18467, 6334, 26500, 19169})
        EXPECT_EQ(pf::sys::drawRandom(), want);
}
