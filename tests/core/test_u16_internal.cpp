// pf::u16: the parts ZvString does not reach (blanks and signs before digits,
// the no-case search), and on Windows a comparison with the C runtime itself.
#include "core/u16.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {
typedef std::basic_string<unsigned short> units;
units U(const char16_t* s) {
    return units(reinterpret_cast<const unsigned short*>(s));
}
} // namespace

TEST(U16, ToIntTakesBlanksAndASignAndSaturates) {
    const std::pair<const char16_t*, int> cases[] = {{u"  -42x", -42},
                                                     {u"\t+7", 7},
                                                     {u"-", 0},
                                                     {u"-2147483648", INT_MIN},
                                                     {u"-99999999999999", INT_MIN},
                                                     {u"\u00a012", 0},
                                                     {u"1 2", 1}};
    for (const auto& c : cases)
        EXPECT_EQ(pf::u16::toInt(U(c.first).c_str()), c.second);
    const units hay = U(u"xHeLLo"), needle = U(u"hello"), empty;
    EXPECT_EQ(pf::u16::findNoCase(hay.c_str(), needle.c_str()), hay.c_str() + 1);
    EXPECT_EQ(pf::u16::findNoCase(hay.c_str(), empty.c_str()), hay.c_str());
}

#if defined(_WIN32)
#include <cwchar>

namespace {
int sign(int v) {
    return (v > 0) - (v < 0);
}
} // namespace

// The helpers against the C runtime functions they stand in for, which the Linux
// build does not have.
TEST(U16, MatchesTheCRuntime_Win) {
    const wchar_t* texts[] = {L"abc",        L"ABC",         L"_",           L"A",      L"[",
                              L"a",          L"abd",         L"ab",          L"",       L"\x00e9",
                              L"\x00c9",     L"Zeta",        L"zetA",        L"  -42x", L"+7",
                              L"2147483648", L"-2147483649", L"99999999999", L"0012",   L"1 2"};
    auto u = [](const wchar_t* s) { return reinterpret_cast<const unsigned short*>(s); };
    for (const wchar_t* a : texts) {
        EXPECT_EQ(pf::u16::toInt(u(a)), _wtoi(a)) << a;
        for (const wchar_t* b : texts) {
            for (size_t n : {size_t(1), size_t(2), size_t(10)})
                EXPECT_EQ(sign(pf::u16::compareNoCase(u(a), u(b), n)), sign(_wcsnicmp(a, b, n)))
                    << a << " " << b << " " << n;
            // An empty needle is found in an empty text, as the C standard has it;
            // the runtime under Wine returns null there, so that pair is skipped.
            if (!*a && !*b) continue;
            EXPECT_EQ(reinterpret_cast<const wchar_t*>(pf::u16::find(u(a), u(b))), wcsstr(a, b))
                << "[" << a << "] [" << b << "]";
        }
        wchar_t lower[32], upper[32];
        wcscpy(lower, a);
        wcscpy(upper, a);
        _wcslwr_s(lower, 32);
        _wcsupr_s(upper, 32);
        units mine(u(a)), mine2(u(a));
        pf::u16::lower(&mine[0], int(mine.size()));
        pf::u16::upper(&mine2[0], int(mine2.size()));
        EXPECT_EQ(mine, units(u(lower))) << a;
        EXPECT_EQ(mine2, units(u(upper))) << a;
    }
    for (int base : {2, 8, 10, 16, 36})
        for (int v : {0, 1, -1, 255, -42, INT_MAX, INT_MIN}) {
            wchar_t crt[40];
            unsigned short mine[pf::u16::intTextSize];
            ASSERT_EQ(_itow_s(v, crt, 40, base), 0);
            pf::u16::fromInt(v, base, mine);
            EXPECT_EQ(units(mine), units(u(crt))) << v << " base " << base;
        }
}
#endif
