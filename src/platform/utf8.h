// The library's own UTF-8 codec over 16-bit UTF-16 units, with the replacement
// rules of the Windows code-page functions: it stands behind code page 65001 where
// the platform has no such functions, and validates UTF-8 prefixes on every build.
#pragma once

#include <cstddef>

namespace pf {
namespace utf8 {

typedef unsigned short unit;

// What a conversion did. written counts output units (decode) or bytes (encode)
// stored, or needed when no output was given.
struct Outcome {
    size_t written;
    bool replaced; // some ill-formed input became U+FFFD
    bool overflow; // the output ran out of room before the input ended
};

// UTF-8 bytes to UTF-16. Each maximal ill-formed subpart (a lone continuation
// byte, a byte that never starts a sequence, a sequence cut short by a byte out of
// its range or by the end of input; overlong forms, surrogates and values above
// U+10FFFF are ill-formed) becomes one U+FFFD. With out null the whole input is
// measured and cap is ignored; otherwise at most cap units are stored, and a
// character that does not fit whole (a surrogate pair included) stops the run.
Outcome decode(const unsigned char* s, size_t n, unit* out, size_t cap);

// UTF-16 to UTF-8. A surrogate that is not half of a high-low pair becomes U+FFFD
// (EF BF BD). Output rules as for decode.
Outcome encode(const unit* s, size_t n, unsigned char* out, size_t cap);

// The length of the longest prefix of s that is well-formed UTF-8 and ends on a
// character boundary: the bytes before the first ill-formed or cut sequence.
size_t validPrefix(const unsigned char* s, size_t n);

} // namespace utf8
} // namespace pf
