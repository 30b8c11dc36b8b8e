// UTF-8 <-> UTF-16 with one U+FFFD per maximal ill-formed subpart.
#include "platform/utf8.h"

#include "core/simd.h"

#include <algorithm>
#include <climits>
#include <cstdint>

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

// Moves the run of ASCII at s[i] at once, 16 bytes a step: as much of it as out
// (unless measuring) has room for. False when nothing moved.
template <class In, class Out>
PF_UTF8_FORCE_INLINE bool asciiStep(const In* s, size_t n, size_t& i, Out* out, size_t cap,
                                    size_t& w) {
    size_t limit = n - i;
    if (out && cap - w < limit) limit = cap - w;
    const int most = int(std::min<size_t>(limit, INT_MAX));
    int run;
    if constexpr (sizeof(In) == 1) {
        run = simd::asciiBytes(s + i, most);
        if (out) simd::widen(out + w, s + i, run);
    } else {
        run = simd::asciiUnits(s + i, most);
        if (out) simd::narrow(out + w, s + i, run);
    }
    i += size_t(run);
    w += size_t(run);
    return run > 0;
}

} // namespace

// The hot loop of every narrow-to-wide conversion: runs of ASCII are widened
// 16 bytes at a time, everything else goes through next() one character at a time.
Outcome decode(const unsigned char* s, size_t n, unit* out, size_t cap) {
    Outcome r{0, false, false};
    const bool measure = out == nullptr;
    size_t i = 0, w = 0;
    while (i < n) {
        if (s[i] < 0x80 && asciiStep(s, n, i, out, cap, w)) continue;
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

// The hot loop of every wide-to-narrow conversion: runs of ASCII are narrowed 16
// units at a time.
Outcome encode(const unit* s, size_t n, unsigned char* out, size_t cap) {
    Outcome r{0, false, false};
    const bool measure = out == nullptr;
    size_t i = 0, w = 0;
    while (i < n) {
        if (s[i] < 0x80 && asciiStep(s, n, i, out, cap, w)) continue;
        // Characters of two and three bytes outside the surrogates, most of any text
        // that is not ASCII, are encoded here while they follow one another.
        if (!measure)
            for (unsigned c; i < n && (c = s[i]) >= 0x80 && (c < 0xD800 || c > 0xDFFF); ++i) {
                unsigned char* o = out + w;
                if (c < 0x800 && cap - w >= 2) {
                    o[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
                    o[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
                    w += 2;
                } else if (c >= 0x800 && cap - w >= 3) {
                    o[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
                    o[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
                    o[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
                    w += 3;
                } else {
                    break; // no room: the general step below reports it
                }
            }
        if (i == n) break;
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
        if (s[i] < 0x80 && asciiStep(s, n, i, static_cast<unit*>(nullptr), 0, skipped)) continue;
        const size_t at = i;
        if (next(s, n, i) == kIllFormed) return at;
    }
    return n;
}

} // namespace utf8
} // namespace pf
