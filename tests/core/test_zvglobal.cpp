// ZvCriticalSection and ZvCSLocker.
#include "core/threads.h"
#include <pubfunc/zvglobal.h>

#include <gtest/gtest.h>

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

// Four threads enter 100,000 times each, some by tryLock and some again while
// holding: every increment under the lock counts.
TEST(ZvCriticalSection, FourThreadsCountExactly) {
    const ZvCriticalSection cs;
    long count = 0;
    onThreads(4, [&](int) {
        for (int i = 0; i < 100000; ++i) {
            while (i % 3 == 0 && !cs.tryLock())
                std::this_thread::yield();
            if (i % 3 != 0) cs.lock();
            ZvCSLocker again(&cs);
            ++count;
            cs.unlock();
        }
    });
    EXPECT_EQ(count, 400000);
}
