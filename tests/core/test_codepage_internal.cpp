// The code-page seam: the differential table against the Windows build's results,
// and the clean-prefix walk of other code pages (UTF-8's is covered through
// ZvTextCodec::toUnicode).
#include "core/codepage_table.h"
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {
std::vector<std::string> lines(std::istream& in) {
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') out.push_back(line);
    }
    return out;
}
} // namespace

// On Windows this checks that the file still matches the system's functions; on
// Linux, that the library's own codec gives the same results.
TEST(CodePage, Utf8MatchesTheWindowsResults) {
    std::ifstream file(PUBFUNC_TEST_DATA "/codepage_65001.txt");
    ASSERT_TRUE(file.good()) << "missing " PUBFUNC_TEST_DATA "/codepage_65001.txt";
    std::istringstream actual(codepage_table::run());
    const std::vector<std::string> want = lines(file), got = lines(actual);
    ASSERT_EQ(want.size(), got.size())
        << "run scripts/gen-codepage-expected.sh after editing the table";
    int mismatches = 0;
    for (size_t i = 0; i < want.size() && mismatches < 10; ++i) {
        if (want[i] != got[i]) ++mismatches;
        EXPECT_EQ(want[i], got[i]);
    }
}

#if defined(_WIN32)
// Code pages other than UTF-8 are walked a character at a time; the Linux build
// has no such code pages.
TEST(CodePage, CleanPrefixInOtherCodePages_Win) {
    EXPECT_EQ(pf::platform::cleanPrefix(932,
                                        "ab\x82\xA0"
                                        "c",
                                        5),
              5);                                              // a double-byte pair
    EXPECT_EQ(pf::platform::cleanPrefix(932, "ab\x82", 3), 2); // a cut pair
    EXPECT_EQ(pf::platform::cleanPrefix(1253,
                                        "ab\xAA"
                                        "c",
                                        4),
              2); // unassigned in Greek
}
#endif
