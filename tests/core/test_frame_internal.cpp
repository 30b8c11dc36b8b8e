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
void traceRun(const char* name) {
    g_ran.push_back(name);
}
void noop() {}
} // namespace

TEST(LibFrame, CleanupsRunOnceNewestFirst) {
    pf::frame::CleanupList list;
    EXPECT_TRUE(list.add("logger", noop));
    EXPECT_TRUE(list.add("timers", noop));
    EXPECT_TRUE(list.add("pool", noop));
    EXPECT_FALSE(list.add("null", nullptr));
    EXPECT_EQ(list.count(), 3);
    EXPECT_STREQ(list.name(0), "logger");
    EXPECT_EQ(list.name(3), nullptr);
    g_ran.clear();
    list.runAll(traceRun);
    EXPECT_EQ(g_ran, (std::vector<std::string>{"pool", "timers", "logger"}));
    list.runAll(traceRun); // a second run does nothing
    EXPECT_EQ(g_ran.size(), 3u);
    EXPECT_FALSE(list.add("after", noop)); // too late to register
}

TEST(LibFrame, FullListRefusesMore) {
    pf::frame::CleanupList list;
    for (int i = 0; i < pf::frame::CleanupList::capacity; ++i)
        EXPECT_TRUE(list.add("x", noop));
    EXPECT_FALSE(list.add("overflow", noop));
    EXPECT_EQ(list.count(), pf::frame::CleanupList::capacity);
}

TEST(GenEventId, WrapsAfterTwoToTheSixtyThreePlusOne) {
    const unsigned long long top = 1ULL << 63;
    pf::setEventCounter(top - 1);
    EXPECT_EQ(genEventId(), top);
    EXPECT_EQ(genEventId(), top + 1);
    EXPECT_EQ(genEventId(), 1u);
    EXPECT_EQ(genEventId(), 2u);
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
