// The key table behind CKeyExchange, pubfunc's frame-rate counters on a clock the
// test drives, GetRandomNum's generator, and the profile files against the Windows
// build's results.
#include <pubfunc/keyexchange.h>
#include <pubfunc/pubfunc.h>
#include <pubfunc/vtqlogger.h>

#include "sys/fps_internal.h"
#include "sys/keys_internal.h"
#include "sys/profile_table.h"
#include "sys/random.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

using pf::sys::kKeyTable;

// Row (from 1) with its scan code, name and virtual key, for the rows most easily
// got wrong: '=' before '-', both Shifts, the backslash, and the keys whose names
// repeat. Up to row 88 the other rows' scan codes follow their rows, save the keys
// from F11 (rows 69 to 73), which follow F10 but carry higher codes. Every row goes
// through both lookups; the second Shift answers as the first. An unknown key
// leaves the outputs as they were; a description joins what it finds, and reuses
// the last name found for a key it does not know.
TEST(CKeyExchange, TableLookupsAndDescriptions) {
    using Key = std::tuple<int, wstring16, int>;
    const std::map<int, Key> typed = {
        // clang-format off
        {1, {0x01, W16("Esc"), 0x1B}}, {12, {0x0D, W16("="), 0xBB}}, {13, {0x0C, W16("-"), 0xBD}},
        {42, {0x2A, W16("Shift"), 0x10}}, {43, {0x2B, W16("\\"), 0xDC}}, {54, {0x36, W16("Shift"), 0x10}},
        {79, {0x4A, W16("-"), 0x6D}}, {88, {0x53, W16("."), 0x6E}}, {90, {0x9D, W16("Ctrl"), 0xA3}},
        {92, {0xB8, W16("Alt"), 0xA5}}, {105, {0xDC, W16("Win"), 0x5C}}, {107, {0xDF, W16("Sleep"), 0x5F}},
        // clang-format on
    };
    for (int row = 1; row <= pf::sys::kKeyCount; ++row) {
        const pf::sys::KeyEntry& key = kKeyTable[row - 1];
        if (typed.count(row)) {
            EXPECT_EQ(Key(key.scanCode, key.name, key.virtualKey), typed.at(row)) << "row " << row;
        }
        if (!typed.count(row) && row <= 88 && (row < 69 || row > 73)) {
            EXPECT_EQ(key.scanCode, row < 69 ? row : row - 5) << "row " << row;
        }
        int scan = -1;
        wstring16 name;
        EXPECT_TRUE(CKeyExchange::VK2DIK(key.virtualKey, scan)) << "row " << row;
        EXPECT_EQ(scan, row == 54 ? 0x2A : key.scanCode) << "row " << row;
        CKeyExchange::VKKeyToString_S(key.virtualKey, name);
        EXPECT_EQ(name, key.name) << "row " << row;
    }
    int scan = 5;
    EXPECT_FALSE(CKeyExchange::VK2DIK(0x07, scan));
    EXPECT_EQ(scan, 5);
    const std::tuple<int, int, int, const wchar16*> combos[] = {
        // clang-format off
        {0x11, 0x12, 0x74, W16("Ctrl + Alt + F5")}, {0x41, 0x07, 0x10, W16("A + A + Shift")},
        {0x07, 0, 0x21, W16(" + Prior")},
        // clang-format on
    };
    for (const auto& [k1, k2, k3, want] : combos) {
        wstring16 text = W16("old");
        CKeyExchange::GetKeysCombineDesc(k1, k2, k3, text);
        EXPECT_EQ(text, want) << std::hex << k1 << " " << k2 << " " << k3;
    }
}

// The clock the frame-rate counters read here.
static unsigned int s_tick = 0;

// The stages, each with its own counter and window (5 or 20 seconds), on a clock
// that wraps past 2^32 ms inside their windows: each starts on its first call; the
// call at a window's end does not log, the next one does; a tick behind a window's
// start (the clock went back) ends nothing. Then one step on a counter of the
// test's: 615 frames in 20,001 ms, 30.7 a second, logged truncated.
TEST(pubfunc, FrameRateWindows) {
    pf::sys::setTickSource([] { return s_tick; });
    std::remove("pubfunc_fps.log");
    ASSERT_TRUE(VTQ::VTQLogger::Instance()->InitLog(W16("./pubfunc_fps.log")));
    void (*const stages[])(const wstring16&) = {
        pubfunc::updatePublishSendFPS, pubfunc::updatePublishCaptureFPS,
        pubfunc::updateBeforeEncodeFPS, pubfunc::updateAfterEncodeFPS};
    for (const unsigned elapsed : {0u, 5000u, 5001u, 20000u, 20001u, 10000u}) {
        s_tick = 0xFFFFE000u + elapsed;
        for (int i = 0; i < 4; ++i)
            stages[i](wstring16(1, wchar16('a' + i)));
    }
    unsigned frames = 614, windowStart = 1000;
    s_tick = 21001;
    pf::sys::updateFps(frames, windowStart, W16("e"), 20000);
    const std::string head = "pubfunc::_updatePublishFPS  ";
    std::ifstream in("pubfunc_fps.log", std::ios::binary);
    std::vector<std::string> got;
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find(head);
        if (at != std::string::npos) line = line.substr(at + head.size());
        got.push_back(line.substr(0, line.find('\r')));
    }
    EXPECT_EQ(got, (std::vector<std::string>{"c AVG_FPS : 0 FPS : 2", "d AVG_FPS : 0 FPS : 2",
                                             "c AVG_FPS : 0 FPS : 1", "d AVG_FPS : 0 FPS : 1",
                                             "a AVG_FPS : 0 FPS : 4", "b AVG_FPS : 0 FPS : 4",
                                             "e AVG_FPS : 30 FPS : 615"}));
}

// The same sequence as the Windows runtime's rand after srand(1).
TEST(pubfunc, RandomGeneratorSequence) {
    pf::sys::seedRandom(1);
    for (const int want : {41, 18467, 6334, 26500, 19169})
        EXPECT_EQ(pf::sys::drawRandom(), want);
}

// On Windows this checks that the file still matches the system's functions; on
// Linux, that the library's own reader and writer give the same results.
TEST(Profile, MatchesTheWindowsResults) {
    const auto folder = std::filesystem::temp_directory_path() / "pubfunc-profile";
    std::filesystem::create_directories(folder);
    std::ifstream file(PUBFUNC_TEST_DATA "/profile_expected.txt");
    std::string want, line;
    while (std::getline(file, line))
        if (line[0] != '#') want += line + "\n";
    EXPECT_EQ(profile_table::run((folder / "").string()), want)
        << "run scripts/gen-expected.sh profile after editing the table";
    std::filesystem::remove_all(folder);
}
