// The key table behind CKeyExchange, GetRandomNum's generator, and the profile
// files against the Windows build's results.
#include <pubfunc/keyexchange.h>
#include <pubfunc/pubfunc.h>

#include "sys/keys_internal.h"
#include "sys/profile_table.h"
#include "sys/random.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>

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
        } else if (row <= 88 && (row < 69 || row > 73)) {
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

// The same sequence as the Windows runtime's rand after srand(1).
TEST(pubfunc, RandomGeneratorSequence) {
    pf::sys::seedRandom(1);
    for (const int want : {41, 18467, 6334, 26500, 19169})
        EXPECT_EQ(pf::sys::drawRandom(), want);
}

// On Windows this checks that the file still matches the system's functions; on
// Linux, that the library's own reader and writer give the same results.
TEST(Profile, MatchesTheWindowsResults) {
    std::ifstream file(PUBFUNC_TEST_DATA "/profile_expected.txt");
    std::string want, line;
    while (std::getline(file, line))
        if (line[0] != '#') want += line + "\n";
    EXPECT_EQ(profile_table::run((std::filesystem::current_path() / "").string()), want)
        << "run scripts/gen-expected.sh profile after editing the table";
}
