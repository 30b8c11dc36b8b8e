// pf::format: the library's own printf-style formatter over 16-bit wide text.
//
// Both builds format through this code, so a message reads the same on Windows
// and elsewhere. It follows the conventions of the Windows C runtime's wide
// printf family: %s and %ls take a wide string, %S and %hs a narrow one (each byte
// widened to one unit, as in the "C" locale); %c is a wide character and %C or %hc
// a narrow one; %ld is whatever `long` is on the platform; sizes h, l, ll, I32,
// I64, I, z, j, t; flags - + blank # 0; width and precision, either may be *;
// %d %i %u %o %x %X %p %f %F %e %E %g %G %a %A. Floating-point output has that
// runtime's shape: exponents of at least three digits (1.500000e+000), ties
// rounded away from zero in decimal, and infinities and NaNs spelled 1.#INF,
// 1.#QNAN and -1.#IND. A null %s prints "(null)". An unknown conversion prints the
// character itself; %n writes nothing and stores nothing. Widths and precisions
// above 65,536 count as 65,536.
#pragma once

#include <pubfunc/export.h>

#include <cstdarg>
#include <cstddef>

namespace pf {

// Appends the formatted text to out and returns the number of units appended.
size_t vformatAppend(wstring16& out, const wchar16* fmt, va_list args);
wstring16 vformat(const wchar16* fmt, va_list args);
wstring16 format(const wchar16* fmt, ...);

// The contract of the C runtime's _vsnwprintf: at most count units go to buf. A
// text shorter than count is terminated and its length returned; one of exactly
// count units is stored unterminated and count returned; a longer one is cut to
// count units, unterminated, and -1 returned. A null fmt returns -1. Only the
// floating-point conversions allocate; everything else is written straight into buf.
int vsnformat(wchar16* buf, size_t count, const wchar16* fmt, va_list args);
int snformat(wchar16* buf, size_t count, const wchar16* fmt, ...);

} // namespace pf
