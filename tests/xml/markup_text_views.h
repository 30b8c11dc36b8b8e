// CMarkup's wide text seen as ASCII, for the XML tests: tables are written in ASCII
// and each byte becomes one 16-bit unit; A narrows each unit back to one byte. The
// tables are arrays of tuples, read through structured bindings.
#pragma once

#include <pubfunc/markup.h>

#include <string>
#include <tuple>
#include <vector>

inline wstring16 W(const std::string& s) {
    return wstring16(s.begin(), s.end());
}
inline std::string A(const wstring16& s) {
    return std::string(s.begin(), s.end());
}
