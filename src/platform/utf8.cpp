// UTF-8 <-> UTF-16 with one U+FFFD per maximal ill-formed subpart.
#include "platform/utf8.h"

#include <cstdint>
#include <cstring>

// The word-at-a-time ASCII loops read bytes and units out of a 64-bit word in
// little-endian order, as every target of the library stores them.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the UTF-8 codec's ASCII loops assume a little-endian target"
#endif

// The ASCII step is forced inline into the conversion loops: left to the
// compiler it stays a call, which costs a fifth of the decoder's speed.
#if defined(__GNUC__)
#define PF_UTF8_FORCE_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define PF_UTF8_FORCE_INLINE __forceinline
#else
#define PF_UTF8_FORCE_INLINE inline
#endif

namespace pf {
namespace utf8 {

namespace {

constexpr uint32_t kIllFormed = 0xFFFFFFFFu;
constexpr unit kReplacement = 0xFFFD;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

// One character from s[i], advancing i past it. An ill-formed sequence yields
// kIllFormed and leaves i after the part that becomes one U+FFFD, by the rules the
// Windows build's conversion follows:
// - a byte that never starts a sequence (80-C1, F5-FF) is a part by itself;
// - a sequence that the input ends inside takes the whole rest of the input;
// - otherwise the part runs from the lead up to the first byte that is not a
//   continuation byte (80-BF), that byte excluded; a continuation byte outside
//   the range the lead allows at that place (overlong forms after E0 and F0,
//   surrogates after ED, values above U+10FFFF after F4) is included.
inline uint32_t next(const unsigned char* s, size_t n, size_t& i) {
    const unsigned lead = s[i++];
    if (lead < 0x80) return lead;
    if (lead < 0xC2 || lead > 0xF4) return kIllFormed;
    const size_t more = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    if (n - i < more) {
        i = n;
        return kIllFormed;
    }
    uint32_t cp = lead & (0x3F >> more);
    unsigned lo = 0x80, hi = 0xBF;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
    for (size_t k = 0; k < more; ++k) {
        const unsigned b = s[i];
        if (b < 0x80 || b > 0xBF) return kIllFormed;
        ++i;
        if (b < lo || b > hi) return kIllFormed;
        cp = (cp << 6) | (b & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    return cp;
}

// Moves one word of ASCII at once: the next 8 bytes (or 4 units) of s when all of
// them are below 0x80, there are that many left, and out (unless measuring) has
// room for them. False, with nothing moved, otherwise.
template <class In, class Out>
PF_UTF8_FORCE_INLINE bool asciiWord(const In* s, size_t n, size_t& i, Out* out, size_t cap,
                                    size_t& w) {
    constexpr size_t kLanes = 8 / sizeof(In);
    constexpr uint64_t kHigh = sizeof(In) == 1 ? kHighBits : 0xFF80FF80FF80FF80ull;
    if (n - i < kLanes || (out && cap - w < kLanes)) return false;
    uint64_t word;
    std::memcpy(&word, s + i, 8);
    if (word & kHigh) return false;
    if (out)
        for (size_t k = 0; k < kLanes; ++k)
            out[w + k] = Out((word >> (8 * sizeof(In) * k)) & 0x7F);
    i += kLanes;
    w += kLanes;
    return true;
}

} // namespace

// The hot loop of every narrow-to-wide conversion: runs of ASCII are widened
// eight bytes at a time, everything else goes through next() one character at a
// time.
Outcome decode(const unsigned char* s, size_t n, unit* out, size_t cap) {
    Outcome r{0, false, false};
    const bool measure = out == nullptr;
    size_t i = 0, w = 0;
    while (i < n) {
        if (asciiWord(s, n, i, out, cap, w)) continue;
        size_t at = i;
        uint32_t cp = next(s, n, i);
        const size_t units = cp != kIllFormed && cp > 0xFFFF ? 2 : 1;
        if (!measure && cap - w < units) {
            if (units == 2 && cap - w == 1) {
                // The Windows build stores the high half of a pair that finds room
                // for one unit only, and ends the run there: an overflow only when
                // input is left after the pair.
                out[w++] = unit(0xD800 | ((cp - 0x10000) >> 10));
                r.overflow = i < n;
            } else {
                i = at;
                r.overflow = true;
            }
            break;
        }
        if (cp == kIllFormed) {
            r.replaced = true;
            cp = kReplacement;
        }
        if (!measure) {
            if (units == 2) {
                out[w] = unit(0xD800 | ((cp - 0x10000) >> 10));
                out[w + 1] = unit(0xDC00 | (cp & 0x3FF));
            } else {
                out[w] = unit(cp);
            }
        }
        w += units;
    }
    r.written = w;
    return r;
}

// The hot loop of every wide-to-narrow conversion: runs of ASCII are narrowed four
// units at a time.
Outcome encode(const unit* s, size_t n, unsigned char* out, size_t cap) {
    Outcome r{0, false, false};
    const bool measure = out == nullptr;
    size_t i = 0, w = 0;
    while (i < n) {
        if (asciiWord(s, n, i, out, cap, w)) continue;
        uint32_t cp = s[i];
        size_t used = 1;
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
                used = 2;
            } else {
                cp = kReplacement;
                r.replaced = true;
            }
        }
        const size_t bytes = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        if (!measure) {
            if (cap - w < bytes) {
                r.overflow = true;
                break;
            }
            unsigned char* o = out + w;
            switch (bytes) {
            case 1:
                o[0] = static_cast<unsigned char>(cp);
                break;
            case 2:
                o[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
                o[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
                break;
            case 3:
                o[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
                o[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
                o[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
                break;
            default:
                o[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
                o[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
                o[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
                o[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            }
        }
        w += bytes;
        i += used;
    }
    r.written = w;
    return r;
}

size_t validPrefix(const unsigned char* s, size_t n) {
    size_t i = 0, skipped = 0;
    while (i < n) {
        if (asciiWord(s, n, i, static_cast<unit*>(nullptr), 0, skipped)) continue;
        const size_t at = i;
        if (next(s, n, i) == kIllFormed) return at;
    }
    return n;
}

} // namespace utf8
} // namespace pf
