// pf::format against expected text, in the Windows C runtime's conventions.
#include "core/format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

// The text with each unit past ASCII shown as '?'.
static std::string narrow(const wstring16& w) {
    std::string s;
    for (wchar16 c : w)
        s += c < 0x80 ? char(c) : '?';
    return s;
}
#define CHECK_FORMAT(expected, fmt, ...)                                                           \
    EXPECT_EQ(narrow(pf::format(W16(fmt), __VA_ARGS__)), expected) << fmt

TEST(Format, IntegersFlagsWidthPrecision) {
    CHECK_FORMAT("42|-7|+5| 5", "%d|%i|%+d|% d", 42, -7, 5, 5);
    CHECK_FORMAT("   42|42   |00042|-0042", "%5d|%-5d|%05d|%05d", 42, 42, 42, -42);
    CHECK_FORMAT("4294967295|ffffffffffffffff|1099511627776", "%u|%llx|%lld", -1, -1LL, 1LL << 40);
    CHECK_FORMAT("-5|abc|9|4464|2147483647", "%I64d|%I32x|%Id|%hd|%ld", -5LL, 0xabc, size_t(9),
                 70000, 2147483647L);
    CHECK_FORMAT("0000ABCD|-9223372036854775808", "%08X|%lld", 0xabcd, -9223372036854775807LL - 1);
    CHECK_FORMAT("3     |7|  x", "%*d|%.*d|%*c", -6, 3, -2, 7, 3, 'x');
    CHECK_FORMAT("00000000000000FF|0X0000000000000010", "%p|%#p", (void*)0xff, (void*)0x10);
}

TEST(Format, TextAndCharacters) {
    const wchar16 wide[] = {'w', 0x4E2D, 0};
    CHECK_FORMAT("w?|w?|xy|a?", "%s|%ls|%S|%hs", wide, wide, "xy", "a\xe9");
    CHECK_FORMAT("(null)|(null)", "%s|%S", static_cast<const wchar16*>(nullptr),
                 static_cast<const char*>(nullptr));
    CHECK_FORMAT("    a|ab   |000ab|ab", "%5.1s|%-5s|%05s|%.2S", W16("abc"), W16("ab"), W16("ab"),
                 "abc");
    CHECK_FORMAT("?|q|r|A|0000x", "%c|%C|%hc|%lc|%05c", 0x4E2D, 'q', 'r', 0x41, 'x');
}

TEST(Format, FloatingPointInTheRuntimesShape) {
    CHECK_FORMAT("1.500000e+000|1E-005|1.234568E+004", "%e|%G|%E", 1.5, 1e-5, 12345.678);
    CHECK_FORMAT("+3|4|0.13|-000001.50", "%+.0f|%.0f|%.2f|%010.2f", 2.5, 3.5, 0.125, -1.5);
    CHECK_FORMAT("100000|1e+006|0.0001|1e-010|0.1", "%g|%g|%g|%g|%.15g", 1e5, 1e6, 1e-4, 1e-10,
                 0.1);
    CHECK_FORMAT("1.#INF00|-1.#INF00|1.#QNAN0|1.#INF", "%f|%f|%f|%g", INFINITY, -INFINITY, NAN,
                 INFINITY);
}

TEST(Format, SnprintfContractAndFieldCap) {
    wchar16 buf[8];
    std::fill(buf, buf + 8, wchar16('#'));
    EXPECT_EQ(pf::snformat(buf, 8, W16("%d"), 123), 3);
    EXPECT_EQ(narrow(wstring16(buf, 4)), std::string("123\0", 4)); // terminated
    EXPECT_EQ(pf::snformat(buf, 4, W16("abcd")), 4);               // exact fit: not terminated
    EXPECT_EQ(buf[4], wchar16('#'));
    EXPECT_EQ(pf::snformat(buf, 4, W16("wxyz12")), -1); // cut to the count, not terminated
    EXPECT_EQ(narrow(wstring16(buf, 5)), "wxyz#");
    EXPECT_EQ(pf::snformat(buf, 4, nullptr), -1);
    // A wild width or precision is capped rather than allocated, written or passed.
    const wstring16 capped =
        pf::format(W16("%*d|%.*d|%99999s|%.99999999999d"), INT_MAX, 1, INT_MAX, 1, W16(""), 1);
    EXPECT_EQ(capped.size(), 4 * 65536u + 3);
}
