// ZvString and ZvByteArray seen as standard strings, for the core tests; <string>
// and <tuple> come with it for their tables. u"" literals and std::u16string hold
// char16_t on both builds.
#pragma once

#include <pubfunc/zvstring.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>

typedef std::u16string u16;

inline u16 str(const ZvString& s) {
    return u16(s.constString(), s.constString() + s.size());
}
// Checks the terminator on the way.
inline std::string bytes(const ZvByteArray& a) {
    EXPECT_EQ(a.constData()[a.size()], 0) << "terminator";
    return std::string(a.constData(), size_t(a.size()));
}
inline ZvString Z(const char16_t* s, int len = -1) {
    return ZvString::fromWCharArray(reinterpret_cast<const unsigned short*>(s), len);
}
inline ZvString Z(const u16& s) {
    return Z(s.c_str(), int(s.size()));
}
inline bool shares(const ZvString& a, const ZvString& b) {
    return a.constString() == b.constString();
}

// A table row of a call's text, its result and the expected result, so that a
// failing row names the call: EXPECT_EQ(got, want) << call.
#define CALL_ROW(call, want) std::make_tuple(#call, call, want)
