// ZvString's growth rule, which the public interface does not show.
#include "core/zvstring_internal.h"

#include <gtest/gtest.h>

TEST(ZvStringGrow, ClearsTheStepBitInsteadOfRoundingUp) {
    const std::pair<int, int> cases[] = {{8, 16},      {10, 18},   {16, 48},     {20, 52},
                                         {40, 72},     {100, 132}, {1000, 1032}, {3000, 5048},
                                         {5000, 5000}, {0, 0},     {1, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(pf::string::grow(c.first), c.second) << c.first;
    // The largest size still grows within int.
    EXPECT_GE(pf::string::grow(pf::string::maxSize), pf::string::maxSize);
    EXPECT_LE(pf::string::grow(pf::string::maxSize), pf::string::maxSize + 2048);
}
