// ZvCriticalSection and ZvCSLocker.
#include "core/threads.h"
#include <pubfunc/zvglobal.h>

#include <gtest/gtest.h>

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
