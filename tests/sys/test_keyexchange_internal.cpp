// CKeyExchange and its key table.
#include <pubfunc/keyexchange.h>

#include "sys/keys_internal.h"

#include <gtest/gtest.h>

#include <tuple>

using pf::sys::kKeyTable;

// Row (from 1), scan code, name, virtual key of the rows most easily got wrong: '='
// before '-', both Shifts, the backslash, and the keys whose names repeat. Then every
// row through both lookups; the second Shift answers as the first.
TEST(CKeyExchange, TableRowsAndLookups) {
    const std::tuple<int, int, const wchar16*, int> rows[] = {
        // clang-format off
        {1, 0x01, W16("Esc"), 0x1B}, {12, 0x0D, W16("="), 0xBB}, {13, 0x0C, W16("-"), 0xBD},
        {42, 0x2A, W16("Shift"), 0x10}, {43, 0x2B, W16("\\"), 0xDC}, {54, 0x36, W16("Shift"), 0x10},
        {79, 0x4A, W16("-"), 0x6D}, {88, 0x53, W16("."), 0x6E}, {90, 0x9D, W16("Ctrl"), 0xA3},
        {92, 0xB8, W16("Alt"), 0xA5}, {105, 0xDC, W16("Win"), 0x5C}, {107, 0xDF, W16("Sleep"), 0x5F},
        // clang-format on
    };
    for (const auto& [row, scan, name, vk] : rows) {
        EXPECT_EQ(kKeyTable[row - 1].scanCode, scan) << "row " << row;
        EXPECT_EQ(wstring16(kKeyTable[row - 1].name), name) << "row " << row;
        EXPECT_EQ(kKeyTable[row - 1].virtualKey, vk) << "row " << row;
    }
    // Scan codes follow the rows up to row 88, save '=' and '-', which swap, and the
    // keys from F11 (rows 69 to 73), which follow F10 but carry higher codes.
    for (int row = 1; row <= 88; ++row) {
        if (row >= 69 && row <= 73) continue;
        const int want = row == 12 ? 13 : row == 13 ? 12 : row < 69 ? row : row - 5;
        EXPECT_EQ(kKeyTable[row - 1].scanCode, want) << "row " << row;
    }
    for (int row = 0; row < pf::sys::kKeyCount; ++row) {
        const pf::sys::KeyEntry& want = kKeyTable[row == 53 ? 41 : row];
        int scan = -1;
        wstring16 name;
        EXPECT_TRUE(CKeyExchange::VK2DIK(kKeyTable[row].virtualKey, scan)) << "row " << row + 1;
        EXPECT_EQ(scan, want.scanCode) << "row " << row + 1;
        CKeyExchange::VKKeyToString_S(kKeyTable[row].virtualKey, name);
        EXPECT_EQ(name, want.name) << "row " << row + 1;
    }
}

// An unknown key leaves the outputs as they were; the description joins what it finds.
TEST(CKeyExchange, UnknownKeysAndCombinedDescriptions) {
    int scan = 5;
    wstring16 name = W16("kept");
    EXPECT_FALSE(CKeyExchange::VK2DIK(0x07, scan));
    EXPECT_EQ(scan, 5);
    CKeyExchange::VKKeyToString_S(0x07, name);
    EXPECT_EQ(name, W16("kept"));
    const std::tuple<int, int, int, const wchar16*> combos[] = {
        {0x11, 0x12, 0x74, W16("Ctrl + Alt + F5")},
        {0, 0x41, 0, W16(" + A")},
        {0x41, 0x07, 0x10, W16("A + A + Shift")},
        {0x07, 0, 0x21, W16(" + Prior")},
        {0, 0, 0, W16("")},
    };
    for (const auto& [k1, k2, k3, want] : combos) {
        wstring16 text = W16("old");
        CKeyExchange::GetKeysCombineDesc(k1, k2, k3, text);
        EXPECT_EQ(text, want) << std::hex << k1 << " " << k2 << " " << k3;
    }
}
