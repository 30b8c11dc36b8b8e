// ZvAtomicInt, ZvCriticalSection, ZvCSLocker, genEventId, isEqualValue, zvMalloc.
#include <pubfunc/zvglobal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

TEST(ZvAtomicInt, RefAndDerefReportTheNewValue) {
    struct Case {
        int start;
        bool refResult;
        int derefResult;
    };
    const Case cases[] = {
        {0, true, -1}, {-1, false, -2}, {1, true, 0}, {2147483646, true, 2147483645}};
    for (const Case& c : cases) {
        ZvAtomicInt up(c.start);
        EXPECT_EQ(up.ref(), c.refResult) << c.start;
        EXPECT_EQ(int(up), c.start + 1);
        ZvAtomicInt down(c.start);
        EXPECT_EQ(down.deref(), c.derefResult) << c.start;
        EXPECT_TRUE(down != c.start);
        EXPECT_FALSE(down != c.derefResult);
    }
    ZvAtomicInt copy;
    EXPECT_EQ(int(copy), 0);
    copy = ZvAtomicInt(7);
    EXPECT_EQ(int(copy), 7);
}

TEST(ZvAtomicInt, ConcurrentRefDerefBalance) {
    ZvAtomicInt count(1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 100000; ++i) {
                count.ref();
                count.deref();
                count.ref();
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(int(count), 1 + 8 * 100000);
}

TEST(ZvCriticalSection, RecursiveForHolderExclusiveForOthers) {
    ZvCriticalSection cs;
    {
        ZvCSLocker outer(&cs);
        ZvCSLocker inner(&cs); // the same thread enters again without blocking
        EXPECT_TRUE(cs.tryLock());
        cs.unlock();
        bool otherGot = true;
        std::thread([&] { otherGot = cs.tryLock(); }).join();
        EXPECT_FALSE(otherGot);
    }
    // Fully released: another thread can take and release it.
    bool otherGot = false;
    std::thread([&] {
        otherGot = cs.tryLock();
        if (otherGot) cs.unlock();
    }).join();
    EXPECT_TRUE(otherGot);
}

TEST(ZvCriticalSection, ExcludesOtherThreadsUnderContention) {
    const ZvCriticalSection cs; // locks through a const object
    long long counter = 0;      // unsynchronised except by cs
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50000; ++i) {
                ZvCSLocker lock(&cs);
                counter = counter + 1;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, 4 * 50000);
}

TEST(GenEventId, DistinctAndRisingAcrossThreads) {
    constexpr int kThreads = 8, kPerThread = 20000;
    std::vector<std::vector<unsigned long long>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&ids, t] {
            for (int i = 0; i < kPerThread; ++i)
                ids[t].push_back(genEventId());
        });
    for (auto& t : threads)
        t.join();
    std::vector<unsigned long long> all;
    for (auto& v : ids) {
        EXPECT_TRUE(std::is_sorted(v.begin(), v.end())); // each thread sees rising ids
        all.insert(all.end(), v.begin(), v.end());
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    EXPECT_NE(all.front(), 0u);
    EXPECT_EQ(all.back() - all.front() + 1, all.size()); // no id skipped
}

TEST(IsEqualValue, ToleranceIsStrictAndInSinglePrecision) {
    struct Case {
        float a, b;
        bool equal;
    };
    const Case cases[] = {
        {1.0f, 1.00005f, true},
        {1.0f, 1.0001f, false}, // the float difference is about 1.00017e-4
        {0.0f, 0.0001f, true},  // the float nearest 0.0001 is below the double 0.0001
        {0.0f, 0.00011f, false},
        {0.0001f, 0.0f, true},
        {-5.0f, -5.0f, true},
        {1e30f, 1e30f + 1e24f, false},
        {std::nanf(""), 1.0f, false},
        {INFINITY, INFINITY, false}, // inf - inf is a NaN
    };
    for (const Case& c : cases)
        EXPECT_EQ(isEqualValue(c.a, c.b), c.equal) << c.a << " " << c.b;
}

TEST(ZvAlloc, PassesThroughToTheHeap) {
    void* p = zvMalloc(16);
    ASSERT_NE(p, nullptr);
    static_cast<char*>(p)[15] = 'x';
    p = zvRealloc(p, 1 << 20);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<char*>(p)[15], 'x');
    zvFree(p);
    zvFree(nullptr);
    zvFree(zvMalloc(0)); // whatever malloc(0) gives, it can be freed
}
