// ZvByteArray's records from inside: growth, the static records, size limits.
#include "core/zvbytearray_internal.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <functional>

using Probe = ZvByteArrayProbe;

TEST(ZvByteArrayRecord, GrowReservesByTheStepRule) {
    const int cases[][2] = {{0, 0},       {10, 10},     {16, 32},      {20, 36},
                            {32, 96},     {40, 104},    {96, 96},      {100, 100},
                            {4064, 8160}, {5000, 9096}, {10000, 10000}};
    for (const auto& c : cases)
        EXPECT_EQ(Probe::grow(c[0]), c[1]) << c[0];
    // Near INT_MAX the step would pass the int range: capped, never below n.
    for (int n : {INT_MAX - 5000, INT_MAX - 40, INT_MAX})
        EXPECT_EQ(Probe::grow(n), n == INT_MAX - 5000 ? n : INT_MAX) << n;
}

// The capacity stays unless the size shrinks below half of it or grows past it;
// then it becomes grow(n). A length of 0 with a first byte that is not 0 gives a
// record of its own, not the static empty one.
TEST(ZvByteArrayRecord, ResizeKeepsOrRegrowsTheCapacity) {
    const int cases[][2] = {{100, 100}, {60, 100}, {50, 100}, {49, 113}, {200, 264}, {0, 0}};
    for (const auto& c : cases) {
        ZvByteArray a('x', 100);
        a.resize(c[0]);
        EXPECT_EQ(Probe::record(a)->capacity, c[1]) << c[0];
    }
    EXPECT_EQ(Probe::record(ZvByteArray("\0ab", 3)), Probe::sharedEmpty());
    EXPECT_NE(Probe::record(ZvByteArray("ab", 0)), Probe::sharedEmpty());
}

// A record claiming INT_MAX bytes (8 really allocated): every growing edit must be
// refused before it touches memory, or ASan sees it.
TEST(ZvByteArrayRecord, EditsPastIntMaxAreRefused) {
    const std::function<void(ZvByteArray&)> edits[] = {
        // clang-format off
        [](ZvByteArray& a) { a.append("ab"); }, [](ZvByteArray& a) { a.append('x'); },
        [](ZvByteArray& a) { a.append(ZvByteArray("ab")); },
        [](ZvByteArray& a) { a.prepend("ab"); },
        [](ZvByteArray& a) { a.prepend(ZvByteArray("ab")); },
        [](ZvByteArray& a) { a.insert(3, 'x'); }, [](ZvByteArray& a) { a.insert(INT_MAX, "ab"); },
        [](ZvByteArray& a) { a[INT_MAX] = 'x'; },
        [](ZvByteArray& a) { EXPECT_TRUE(a.toHex().isNull()); },
        // clang-format on
    };
    for (const auto& edit : edits) {
        auto* x = static_cast<Probe::Data*>(zvMalloc(offsetof(Probe::Data, array) + 8));
        *x = Probe::Data{1, INT_MAX, INT_MAX, x->array, {0}};
        ZvByteArray a = Probe::adopt(x);
        edit(a);
        EXPECT_EQ(Probe::record(a), x);
        EXPECT_EQ(a.size(), INT_MAX);
    }
}
