// The code-page seam: the differential table against the Windows build's results,
// and the clean-prefix scan.
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

TEST(CodePage, CleanPrefixEndsBeforeTheFirstIllFormedOrCutSequence) {
    struct Case {
        const char* hex;
        int prefix;
    };
    const Case cases[] = {
        {"414243", 3},
        {"E4B8AD", 3},
        {"E4B8", 0},
        {"6162E4B8", 2},
        {"61E4B8AD62", 5},
        {"6180E4B8AD", 1},
        {"F09F9880F09F", 4},
        {"EDA080", 0},
        {"41C080", 1},
        {"41F4908080", 1},
        {"4142434445464748494A4B80", 11},
    };
    for (const Case& c : cases) {
        const std::vector<char> in = codepage_table::parse<char>(c.hex, 2);
        EXPECT_EQ(pf::platform::cleanPrefix(pf::platform::codePageUtf8, in.data(), int(in.size())),
                  c.prefix)
            << c.hex;
    }
    EXPECT_EQ(pf::platform::cleanPrefix(pf::platform::codePageUtf8, "abc", 0), 0);
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
