// The load/unload list, the logger after its clean-up and the event-id wrap, from
// inside the library.
#include "core/libframe.h"
#include "core/zvglobal_internal.h"
#include "diag/logger_internal.h"
#include <pubfunc/vtqlogger.h>
#include <pubfunc/zvglobal.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> g_ran;
void noop() {}
} // namespace

TEST(LibFrame, CleanupsRunOnceNewestFirstWithinCapacity) {
    pf::frame::CleanupList list;
    EXPECT_FALSE(list.add("null", nullptr));
    for (int i = 0; i < pf::frame::CleanupList::kCapacity; ++i)
        EXPECT_TRUE(list.add(i ? "later" : "first", noop));
    EXPECT_FALSE(list.add("overflow", noop));
    const auto trace = [](const char* name) { g_ran.push_back(name); };
    list.runAll(trace);
    list.runAll(trace); // a second run does nothing
    EXPECT_EQ(g_ran.size(), size_t(pf::frame::CleanupList::kCapacity));
    EXPECT_EQ(g_ran.front(), "later");
    EXPECT_EQ(g_ran.back(), "first");
    pf::frame::CleanupList ran; // not full, but too late to register
    ran.runAll(nullptr);
    EXPECT_FALSE(ran.add("after", noop));
}

TEST(GenEventId, WrapsAfterTwoToTheSixtyThreePlusOne) {
    const unsigned long long top = 1ULL << 63;
    pf::setEventCounter(top - 1);
    for (unsigned long long want : {top, top + 1, 1ULL, 2ULL})
        EXPECT_EQ(genEventId(), want);
    pf::setEventCounter(~0ULL); // any counter above 2^63 restarts at 1
    EXPECT_EQ(genEventId(), 1u);
}

// Code that logs after the library's clean-up ran (another thread, an exit handler
// registered earlier) finds a closed logger, not a null pointer.
TEST(LibFrame, LoggerOutlivesItsCleanup) {
    pf::logger::destroy();
    ASSERT_NE(VTQ::VTQLogger::Instance(), nullptr);
    VTQ::VTQLogger::Instance()->LogInfo(W16("dropped %d"), 1);
}
