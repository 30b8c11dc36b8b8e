// The code-page seam: the differential table against the Windows build's results,
// the clean-prefix scan, and the UTF-8 codec's round trip.
#include "core/codepage_table.h"
#include "platform/codepage.h"
#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
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

// Random valid UTF-16 with pairs and every encoded length survives UTF-8 and back.
TEST(CodePage, Utf16RoundTripsThroughUtf8) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<unsigned short> text;
        const int n = int(rng() % 300);
        for (int i = 0; i < n; ++i) {
            const unsigned kind = rng() % 4;
            if (kind == 0)
                text.push_back(0x20 + rng() % 0x5F);
            else if (kind == 1)
                text.push_back(0x80 + rng() % 0x780);
            else if (kind == 2)
                text.push_back(0xE000 + rng() % 0x2000);
            else {
                const unsigned cp = 0x10000 + rng() % 0x100000;
                text.push_back(0xD800 | ((cp - 0x10000) >> 10));
                text.push_back(0xDC00 | (cp & 0x3FF));
            }
        }
        if (text.empty()) continue;
        using namespace pf::platform;
        const int bytes = wideToMultiByte(codePageUtf8, wcErrInvalidChars, text.data(),
                                          int(text.size()), nullptr, 0);
        ASSERT_GT(bytes, 0);
        std::vector<char> narrow(bytes);
        ASSERT_EQ(
            wideToMultiByte(codePageUtf8, 0, text.data(), int(text.size()), narrow.data(), bytes),
            bytes);
        std::vector<unsigned short> back(text.size());
        ASSERT_EQ(multiByteToWide(codePageUtf8, mbErrInvalidChars, narrow.data(), bytes,
                                  back.data(), int(back.size())),
                  int(text.size()));
        ASSERT_EQ(back, text) << "round " << round;
    }
}
