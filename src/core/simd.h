// pf::simd: searches over runs of bytes and of 16-bit units, and the widening of
// ASCII bytes to units and narrowing back, 16 bytes at a time where the target has
// SSE2.
//
// Every function comes twice: in pf::simd::scalar, one element at a time, and in
// pf::simd::sse2 with the same results for every input, 16 bytes a step. SSE2 is
// part of every x86-64 target, so both builds (mingw and Linux) take it; other
// targets, or a build that defines PF_SIMD_SCALAR, get the scalar twin under the
// plain pf::simd names. Loads never pass the n elements given, so no search reads
// past its range, whatever the alignment.
#pragma once

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#define PF_SIMD_HAVE_SSE2 1
#include <emmintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif
#else
#define PF_SIMD_HAVE_SSE2 0
#endif

// The searches are inlined into their callers, so that a set known at compile time
// costs no setup: on short runs the setup would outweigh the search.
#if defined(__GNUC__)
#define PF_SIMD_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define PF_SIMD_INLINE __forceinline
#else
#define PF_SIMD_INLINE inline
#endif

namespace pf {
namespace simd {

// A small set of 16-bit units: up to four listed units (repeat one to list fewer)
// and every unit below `below` (0 adds none).
struct UnitSet {
    uint16_t units[4];
    uint16_t below;
    PF_SIMD_INLINE bool has(unsigned c) const {
        return c < below || c == units[0] || c == units[1] || c == units[2] || c == units[3];
    }
};

namespace scalar {

// The length of the run of ASCII text at s: bytes 1 to 0x7F, at most n. A 0 byte
// ends a run as a byte from 0x80 up does, since every caller takes 0 as the end.
PF_SIMD_INLINE int asciiRun(const unsigned char* s, int n) {
    int i = 0;
    while (i < n && s[i] && s[i] < 0x80)
        ++i;
    return i;
}

// The length of the run of bytes below 0x80 at s, 0 included, at most n: for
// converters that take a length and treat 0 as a character like any other.
PF_SIMD_INLINE int asciiBytes(const unsigned char* s, int n) {
    int i = 0;
    while (i < n && s[i] < 0x80)
        ++i;
    return i;
}

// The length of the run of units below 0x80 at s, at most n.
template <class Unit> PF_SIMD_INLINE int asciiUnits(const Unit* s, int n) {
    static_assert(sizeof(Unit) == 2, "16-bit units");
    int i = 0;
    while (i < n && unsigned(s[i]) < 0x80)
        ++i;
    return i;
}

// Writes the n bytes at s, all below 0x80, as n units at d.
template <class Unit> PF_SIMD_INLINE void widen(Unit* d, const unsigned char* s, int n) {
    static_assert(sizeof(Unit) == 2, "16-bit units");
    for (int i = 0; i < n; ++i)
        d[i] = Unit(s[i]);
}

// Writes the n units at s, all below 0x80, as n bytes at d.
template <class Unit> PF_SIMD_INLINE void narrow(unsigned char* d, const Unit* s, int n) {
    static_assert(sizeof(Unit) == 2, "16-bit units");
    for (int i = 0; i < n; ++i)
        d[i] = static_cast<unsigned char>(s[i]);
}

// The first offset in [i, n) whose unit is in set, or n.
template <class Unit> PF_SIMD_INLINE int find(const Unit* s, int i, int n, const UnitSet& set) {
    static_assert(sizeof(Unit) == 2, "16-bit units");
    while (i < n && !set.has(unsigned(s[i])))
        ++i;
    return i < n ? i : n;
}

} // namespace scalar

#if PF_SIMD_HAVE_SSE2
namespace sse2 {

// The lowest set bit of a non-zero movemask.
inline int firstBit(unsigned mask) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long bit;
    _BitScanForward(&bit, mask);
    return int(bit);
#else
    return __builtin_ctz(mask);
#endif
}

PF_SIMD_INLINE int asciiRun(const unsigned char* s, int n) {
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        // The top bit of each byte from 0x80 up, and of each 0 byte after the compare.
        const unsigned stop = unsigned(_mm_movemask_epi8(_mm_or_si128(x, _mm_cmpeq_epi8(x, zero))));
        if (stop) return i + firstBit(stop);
    }
    return i + scalar::asciiRun(s + i, n - i);
}

PF_SIMD_INLINE int asciiBytes(const unsigned char* s, int n) {
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (const unsigned high = unsigned(_mm_movemask_epi8(x))) return i + firstBit(high);
    }
    return i + scalar::asciiBytes(s + i, n - i);
}

// A unit is ASCII when its bits from 0x80 up are all clear.
template <class Unit> PF_SIMD_INLINE int asciiUnits(const Unit* s, int n) {
    static_assert(sizeof(Unit) == 2, "16-bit units");
    const __m128i high = _mm_set1_epi16(short(0xFF80)), zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const unsigned ascii =
            unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(x, high), zero)));
        if (ascii != 0xFFFF) return i + firstBit(~ascii & 0xFFFF) / 2;
    }
    return i + scalar::asciiUnits(s + i, n - i);
}

template <class Unit> PF_SIMD_INLINE void narrow(unsigned char* d, const Unit* s, int n) {
    static_assert(sizeof(Unit) == 2, "16-bit units");
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)),
                      b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(a, b));
    }
    scalar::narrow(d + i, s + i, n - i);
}

template <class Unit> PF_SIMD_INLINE void widen(Unit* d, const unsigned char* s, int n) {
    static_assert(sizeof(Unit) == 2, "16-bit units");
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_unpacklo_epi8(x, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 8), _mm_unpackhi_epi8(x, zero));
    }
    scalar::widen(d + i, s + i, n - i);
}

// Eight units a step; a unit is below `below` when the saturated difference
// below - unit is not 0 (SSE2 has no unsigned 16-bit compare).
template <class Unit> PF_SIMD_INLINE int find(const Unit* s, int i, int n, const UnitSet& set) {
    static_assert(sizeof(Unit) == 2, "16-bit units");
    const __m128i u0 = _mm_set1_epi16(short(set.units[0])),
                  u1 = _mm_set1_epi16(short(set.units[1]));
    const __m128i u2 = _mm_set1_epi16(short(set.units[2])),
                  u3 = _mm_set1_epi16(short(set.units[3]));
    const __m128i below = _mm_set1_epi16(short(set.below)), zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i listed =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, u0), _mm_cmpeq_epi16(x, u1)),
                         _mm_or_si128(_mm_cmpeq_epi16(x, u2), _mm_cmpeq_epi16(x, u3)));
        const __m128i notBelow = _mm_cmpeq_epi16(_mm_subs_epu16(below, x), zero);
        const unsigned hit = unsigned(_mm_movemask_epi8(
            _mm_or_si128(listed, _mm_andnot_si128(notBelow, _mm_set1_epi16(-1)))));
        if (hit) return i + firstBit(hit) / 2;
    }
    return scalar::find(s, i, n, set);
}

} // namespace sse2
#endif

#if PF_SIMD_HAVE_SSE2 && !defined(PF_SIMD_SCALAR)
using sse2::asciiBytes;
using sse2::asciiRun;
using sse2::asciiUnits;
using sse2::find;
using sse2::narrow;
using sse2::widen;
#else
using scalar::asciiBytes;
using scalar::asciiRun;
using scalar::asciiUnits;
using scalar::find;
using scalar::narrow;
using scalar::widen;
#endif

} // namespace simd
} // namespace pf
