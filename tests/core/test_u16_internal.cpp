// pf::u16 against the C runtime functions it stands in for. Only the Windows
// build has them; both builds run the same code, so one comparison covers both.
#if defined(_WIN32)
#include "core/u16.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {
typedef std::basic_string<unsigned short> units;
int sign(int v) {
    return (v > 0) - (v < 0);
}
} // namespace

TEST(U16, MatchesTheCRuntime_Win) {
    const wchar_t* texts[] = {
        L"abc",  L"ABC",  L"_",    L"A",    L"[",          L"a",           L"abd",    L"ab",    L"",
        L"Zeta", L"zetA", L"Z@`{", L"0012", L"2147483648", L"99999999999", L"\x00e9", L"\x00c9"};
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
        std::wstring lower(a), upper(a);
        units mineLower(u(a)), mineUpper(u(a));
        _wcslwr_s(&lower[0], lower.size() + 1);
        _wcsupr_s(&upper[0], upper.size() + 1);
        pf::u16::lower(&mineLower[0], int(mineLower.size()));
        pf::u16::upper(&mineUpper[0], int(mineUpper.size()));
        EXPECT_EQ(mineLower, units(u(lower.c_str()))) << a;
        EXPECT_EQ(mineUpper, units(u(upper.c_str()))) << a;
    }
}
#endif
