// pf::u16: terminated 16-bit string routines with the C runtime's "C" locale rules.
#include "core/u16.h"

#include <climits>

namespace pf {
namespace u16 {

int length(const unit* s) {
    const unit* p = s;
    while (*p)
        ++p;
    return int(p - s);
}

const unit* findChar(const unit* s, unit c) {
    for (;; ++s) {
        if (*s == c) return s;
        if (!*s) return nullptr;
    }
}

namespace {

struct Exact {
    static unit fold(unit c) { return c; }
};
struct NoCase {
    static unit fold(unit c) { return toLower(c); }
};

// Scans for the needle's first unit, then compares the rest in place. The
// haystack's terminator ends both loops, so no length is measured up front.
template <class Fold> const unit* findIn(const unit* hay, const unit* needle) {
    if (!*needle) return hay;
    const unit first = Fold::fold(*needle);
    for (; *hay; ++hay) {
        if (Fold::fold(*hay) != first) continue;
        const unit* h = hay + 1;
        const unit* n = needle + 1;
        while (*n && Fold::fold(*h) == Fold::fold(*n)) {
            ++h;
            ++n;
        }
        if (!*n) return hay;
        if (!*h) return nullptr; // the rest of hay is shorter than the needle
    }
    return nullptr;
}

} // namespace

const unit* find(const unit* hay, const unit* needle) {
    return findIn<Exact>(hay, needle);
}
const unit* findNoCase(const unit* hay, const unit* needle) {
    return findIn<NoCase>(hay, needle);
}

void lower(unit* s, int n) {
    for (int i = 0; i < n; ++i)
        s[i] = toLower(s[i]);
}
void upper(unit* s, int n) {
    for (int i = 0; i < n; ++i)
        s[i] = toUpper(s[i]);
}

int compareNoCase(const unit* a, const unit* b, size_t n) {
    if (!n) return 0;
    int ca, cb;
    do {
        ca = toLower(*a++);
        cb = toLower(*b++);
    } while (--n && ca && ca == cb);
    return ca - cb;
}

int toInt(const unit* s) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r'))
        ++s;
    bool negative = false;
    if (*s == '-' || *s == '+') negative = *s++ == '-';
    // Accumulate past the 32-bit range in 64 bits, stopping once saturated.
    const long long limit = negative ? -(long long)INT_MIN : INT_MAX;
    long long v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > limit) {
            v = limit;
            break;
        }
    }
    return int(negative ? -v : v);
}

int fromInt(int value, int base, unit out[kIntTextSize]) {
    out[0] = 0;
    if (base < 2 || base > 36) return -1;
    unit digits[kIntTextSize];
    int n = 0;
    const bool negative = base == 10 && value < 0;
    unsigned int v = static_cast<unsigned int>(value);
    if (negative) v = 0u - v;
    do {
        const unsigned int d = v % unsigned(base);
        digits[n++] = unit(d < 10 ? '0' + d : 'a' + (d - 10));
        v /= unsigned(base);
    } while (v);
    int len = 0;
    if (negative) out[len++] = '-';
    while (n)
        out[len++] = digits[--n];
    out[len] = 0;
    return len;
}

} // namespace u16
} // namespace pf
