// ZvByteArray's and ZvString's records from inside: growth bounds and refusals past
// INT_MAX. The growth step itself is a record's own business (a step that falls short
// of a request shows as an overrun in the sanitizer builds), so only its bounds are
// pinned: never past the int range.
#include "core/zvbytearray_internal.h"
#include "core/zvstring_internal.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <utility>

using Probe = ZvByteArrayProbe;

TEST(ZvByteArrayRecord, CapacityHoldsTheRequestWithinInt) {
    EXPECT_EQ(Probe::grow(INT_MAX - 40), INT_MAX); // worked in 64 bits and capped
    // A string's record, 2 bytes a unit and a header, stays within int.
    EXPECT_GE(pf::string::grow(pf::string::kMaxSize), pf::string::kMaxSize);
    EXPECT_LE(pf::string::grow(pf::string::kMaxSize), (INT_MAX - 32) / 2);
}

// A record claiming INT_MAX bytes (8 really allocated): every growing edit must be
// refused before it touches memory, or ASan sees it.
TEST(ZvByteArrayRecord, EditsPastIntMaxAreRefused) {
    // clang-format off
    const std::pair<const char*, void (*)(ZvByteArray&)> rows[] = {
#define ROW(call) {#call, [](ZvByteArray& a) { call; }}
        ROW(a.append("ab")), ROW(a.append('x')), ROW(a.append(ZvByteArray("ab"))),
        ROW(a.prepend("ab")), ROW(a.prepend(ZvByteArray("ab"))), ROW(a.insert(3, 'x')),
        ROW(a.insert(INT_MAX, "ab")), ROW(a[INT_MAX] = 'x'), ROW(EXPECT_TRUE(a.toHex().isNull())),
    };
#undef ROW
    // clang-format on
    for (const auto& [call, edit] : rows) {
        SCOPED_TRACE(call);
        auto* x = static_cast<Probe::Data*>(zvMalloc(offsetof(Probe::Data, array) + 8));
        *x = Probe::Data{1, INT_MAX, INT_MAX, x->array, {0}};
        ZvByteArray a = Probe::adopt(x);
        edit(a);
        EXPECT_EQ(Probe::record(a), x);
        EXPECT_EQ(a.size(), INT_MAX);
    }
}
