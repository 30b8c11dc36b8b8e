// The code-page seam: the differential table against the Windows build's results,
// and the clean-prefix walk of other code pages (UTF-8's is covered through
// ZvTextCodec::toUnicode).
#include "core/codepage_table.h"
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

// On Windows this checks that the file still matches the system's functions; on
// Linux, that the library's own codec gives the same results.
TEST(CodePage, Utf8MatchesTheWindowsResults) {
    std::ifstream file(PUBFUNC_TEST_DATA "/codepage_65001.txt");
    ASSERT_TRUE(file.good()) << "missing " PUBFUNC_TEST_DATA "/codepage_65001.txt";
    std::istringstream actual(codepage_table::run());
    std::string want, got;
    while (std::getline(file, want)) {
        if (want.empty() || want[0] == '#') continue;
        ASSERT_TRUE(std::getline(actual, got)) << "fewer results than expected lines";
        ASSERT_EQ(got, want) << "run scripts/gen-expected.sh codepage after editing the table";
    }
    EXPECT_FALSE(std::getline(actual, got)) << "more results than expected lines";
}

#if defined(_WIN32)
// Code pages other than UTF-8 are walked a character at a time; the Linux build
// has no such code pages.
TEST(CodePage, CleanPrefixInOtherCodePages_Win) {
    // A double-byte pair, a cut pair, a byte unassigned in Greek.
    const std::tuple<unsigned, const char*, int, int> cases[] = {
        {932, "ab\x82\xA0\x63", 5, 5}, {932, "ab\x82", 3, 2}, {1253, "ab\xAA\x63", 4, 2}};
    for (const auto& [codePage, text, len, clean] : cases)
        EXPECT_EQ(pf::platform::cleanPrefix(codePage, text, len), clean) << codePage;
}
#endif
