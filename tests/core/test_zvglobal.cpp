// ZvAtomicInt, ZvCriticalSection, ZvCSLocker, genEventId, isEqualValue.
#include <pubfunc/zvglobal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <tuple>
#include <vector>

namespace {
template <class F> void onThreads(int n, F f) {
    std::vector<std::thread> threads;
    for (int t = 0; t < n; ++t)
        threads.emplace_back(f, t);
    for (auto& t : threads)
        t.join();
}
} // namespace

// ref reports whether the new value is not 0, deref gives the new value itself.
TEST(ZvAtomicInt, RefAndDerefReportTheNewValue) {
    const int cases[][3] = {{0, true, -1}, {-1, false, -2}, {-2, true, -3}, {1, true, 0}};
    for (const auto& c : cases) {
        ZvAtomicInt up(c[0]), down(c[0]);
        EXPECT_TRUE(up.ref() == bool(c[1]) && int(up) == c[0] + 1 && down.deref() == c[2]) << c[0];
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
        ZvCSLocker outer(&cs), inner(&cs); // the holder enters again without blocking
        onThreads(1, tryOther);
        EXPECT_FALSE(got);
    }
    onThreads(1, tryOther);
    EXPECT_TRUE(got); // released as often as it was taken
}

TEST(GenEventId, DistinctAndRisingAcrossThreads) {
    std::vector<unsigned long long> ids[8], all;
    onThreads(8, [&](int t) {
        for (int i = 0; i < 20000; ++i)
            ids[t].push_back(genEventId());
    });
    for (const auto& v : ids) {
        EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
        all.insert(all.end(), v.begin(), v.end());
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    EXPECT_EQ(all.back() - all.front() + 1, all.size()); // no id skipped
}

// 1.0f - 1.0001f is about 1.00017e-4; the float nearest 0.0001 lies below the
// double 0.0001; inf - inf is a NaN.
TEST(IsEqualValue, ToleranceIsStrictAndInSinglePrecision) {
    const std::tuple<float, float, bool> cases[] = {
        // clang-format off
        {1.0f, 1.00005f, true}, {1.0f, 1.0001f, false}, {0.0f, 0.0001f, true},
        {0.0f, 0.00011f, false}, {0.0001f, 0.0f, true}, {1e30f, 1e30f + 1e24f, false},
        {std::nanf(""), 1.0f, false}, {INFINITY, INFINITY, false},
        // clang-format on
    };
    for (const auto& [a, b, equal] : cases)
        EXPECT_EQ(isEqualValue(a, b), equal) << a << " " << b;
}
