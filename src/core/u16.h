// The library's own routines over terminated strings of 16-bit UTF-16 units.
//
// They behave as the Windows C runtime's wide-string functions do in its default
// "C" locale, and are used on every build, so that searches, case mapping and
// number conversions give the same results everywhere: a search stops at the first
// 0 unit, case mapping touches A-Z and a-z only, and so on.
#pragma once

#include <cstddef>

namespace pf {
namespace u16 {

typedef unsigned short unit;

// Units before the first 0 unit.
int length(const unit* s);

// The first c in s, or null. A c of 0 finds the terminator.
const unit* findChar(const unit* s, unit c);

// The first place in hay where needle occurs (both read up to their first 0
// unit), or null. An empty needle is found at hay.
const unit* find(const unit* hay, const unit* needle);
// The same with A-Z and a-z taken as equal.
const unit* findNoCase(const unit* hay, const unit* needle);

inline unit toLower(unit c) {
    return c >= 'A' && c <= 'Z' ? unit(c + ('a' - 'A')) : c;
}
inline unit toUpper(unit c) {
    return c >= 'a' && c <= 'z' ? unit(c - ('a' - 'A')) : c;
}
// Maps n units in place (0 units included: the length is the caller's).
void lower(unit* s, int n);
void upper(unit* s, int n);

// Compares at most n units after lower-casing each, stopping after a 0 unit;
// the difference of the first lower-cased pair that differs, else 0. So "_"
// (0x5F) sorts before "A", which is compared as "a" (0x61).
int compareNoCase(const unit* a, const unit* b, size_t n);

// Leading blanks (tab, LF, VT, FF, CR, space), an optional sign, then decimal
// digits up to the first other unit. A value beyond the 32-bit range saturates
// at INT_MAX or INT_MIN; no digits give 0.
int toInt(const unit* s);

// Room for the longest text fromInt writes: 32 binary digits and the terminator.
constexpr int kIntTextSize = 33;
// Writes value in base (2 to 36) into out, terminated, and returns the number of
// units. Base 10 writes a "-" before a negative value; every other base writes
// the digits of the value taken as an unsigned 32-bit number. Letters are lower
// case. A base outside 2 to 36 writes an empty text and returns -1.
int fromInt(int value, int base, unit out[kIntTextSize]);

} // namespace u16
} // namespace pf
