// The profile-file seam against the Windows build's results.
#include "sys/profile_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

// On Windows this checks that the file still matches the system's functions; on
// Linux, that the library's own reader and writer give the same results.
TEST(Profile, MatchesTheWindowsResults) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("pubfunc-profile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(folder);
    std::ifstream file(PUBFUNC_TEST_DATA "/profile_expected.txt");
    ASSERT_TRUE(file.good()) << "missing " PUBFUNC_TEST_DATA "/profile_expected.txt";
    std::istringstream actual(
        profile_table::run(folder.string() + char(std::filesystem::path::preferred_separator)));
    std::filesystem::remove_all(folder);
    std::string want, got;
    while (std::getline(file, want)) {
        if (want.empty() || want[0] == '#') continue;
        ASSERT_TRUE(std::getline(actual, got)) << "fewer results than expected lines";
        EXPECT_EQ(got, want) << "run scripts/gen-profile-expected.sh after editing the table";
    }
    EXPECT_FALSE(std::getline(actual, got)) << "more results than expected lines";
}
