// pubfunc::GetRandomNum: a bounded number from a 15-bit generator.
#include <pubfunc/pubfunc.h>

#include "sys/random.h"

#include <ctime>

// A first draw that already lies within the span is used as it is; otherwise a
// second draw is scaled onto the span and rounded, never past high (the
// generator's maximum scales to exactly high + 1).
unsigned int pubfunc::GetRandomNum(unsigned int low, unsigned int high) {
    if (low == high) return low;
    if (low > high) return high;
    pf::sys::seedRandom(static_cast<unsigned int>(std::time(nullptr)));
    const unsigned int span = high - low;
    const unsigned int first = static_cast<unsigned int>(pf::sys::drawRandom());
    if (first <= span) return low + first;
    // span < 32,767 here, so span + 1 does not wrap.
    const double v =
        pf::sys::drawRandom() * ((double(span) + 1.0) / double(pf::sys::kRandomMax)) + double(low);
    if (v >= double(high)) return high;
    const unsigned int t = static_cast<unsigned int>(v);
    if (v - double(t) > 0.5 && t + 1 <= high) return t + 1;
    return t;
}
