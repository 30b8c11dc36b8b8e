// Internal limits and helpers of ZvString, for the library and its white-box tests.
#pragma once

#include <climits>

namespace pf {
namespace string {

// The largest size a string takes. Growing it by grow() stays within int, and a
// record of it stays within size_t on every target.
constexpr int kMaxSize = (INT_MAX - 32) / 2 - 4096;

// The capacity reserved when n units must fit (ZvString::grow).
int grow(int n);

} // namespace string
} // namespace pf
