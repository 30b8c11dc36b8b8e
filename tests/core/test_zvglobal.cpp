// ZvAtomicInt, ZvCriticalSection, ZvCSLocker, genEventId, isEqualValue.
#include "core/threads.h"
#include <pubfunc/zvglobal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

// ref reports whether the new value is not 0, deref gives the new value itself.
TEST(ZvAtomicInt, RefAndDerefGiveTheNewValueAcrossThreads) {
    const int cases[][3] = {{0, true, -1}, {-1, false, -2}, {-2, true, -3}, {1, true, 0}};
    for (const auto& c : cases) {
        ZvAtomicInt up(c[0]), down(c[0]);
        EXPECT_EQ(up.ref(), bool(c[1])) << c[0];
        EXPECT_EQ(int(up), c[0] + 1) << c[0];
        EXPECT_EQ(down.deref(), c[2]) << c[0];
    }
    ZvAtomicInt count(1);
    onThreads(8, [&](int) {
        for (int i = 0; i < 100000; ++i)
            count.ref(), count.deref(), count.ref();
    });
    EXPECT_EQ(int(count), 1 + 8 * 100000);
}

// Contention between many lockers is covered by the logger's threads scenario.
TEST(ZvCriticalSection, RecursiveForHolderExclusiveForOtherThreads) {
    const ZvCriticalSection cs; // every lock operation works through a const object
    bool got = true;
    const auto tryOther = [&](int) {
        if ((got = cs.tryLock())) cs.unlock();
    };
    {
        ZvCSLocker outer(&cs);
        cs.lock();   // the holder enters again without blocking
        cs.unlock(); // and, having left once, still holds the lock
        onThreads(1, tryOther);
        EXPECT_FALSE(got);
    }
    onThreads(1, tryOther);
    EXPECT_TRUE(got); // released as often as it was taken
}

TEST(GenEventId, DistinctAndRisingAcrossThreads) {
    const long n = 100000; // ids a thread draws
    std::vector<unsigned long long> ids(size_t(8 * n));
    onThreads(8, [&](int t) {
        for (long i = 0; i < n; ++i)
            ids[size_t(t * n + i)] = genEventId();
    });
    for (long t = 0; t < 8; ++t)
        EXPECT_TRUE(std::is_sorted(ids.begin() + t * n, ids.begin() + (t + 1) * n)) << t;
    std::sort(ids.begin(), ids.end());
    const auto twice = std::adjacent_find(ids.begin(), ids.end());
    EXPECT_EQ(twice, ids.end()) << "id " << *twice << " drawn twice";
    EXPECT_EQ(ids.back() - ids.front() + 1, ids.size()); // no id skipped
}

// 1.0f - 1.0001f is about 1.00017e-4; the float nearest 0.0001 lies below the
// double 0.0001; inf - inf is a NaN.
TEST(IsEqualValue, ToleranceIsStrictAndInSinglePrecision) {
    const std::tuple<float, float, bool> cases[] = {
        // clang-format off
        {1.0f, 1.00005f, true}, {1.0f, 1.0001f, false}, {0.0f, 0.0001f, true},
        {0.0f, 0.00011f, false}, {0.0001f, 0.0f, true}, {1e30f, 1e30f + 1e24f, false},
        {1e-4f, -3e-12f, true}, // 1.0000000047e-4 exactly, but as a float below 0.0001
        {std::nanf(""), 1.0f, false}, {INFINITY, INFINITY, false},
        // clang-format on
    };
    for (const auto& [a, b, equal] : cases)
        EXPECT_EQ(isEqualValue(a, b), equal) << a << " " << b;
}
