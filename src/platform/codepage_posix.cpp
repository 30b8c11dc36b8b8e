// Code-page conversion where the system code page is UTF-8: the library's own
// codec serves code pages 65001 and 0 with the Windows functions' rules.
#include "platform/codepage.h"
#include "platform/utf8.h"

#include <climits>
#include <cstring>

namespace pf {
namespace platform {

namespace {

thread_local unsigned long t_lastError = 0;

int fail(unsigned long error) {
    t_lastError = error;
    return 0;
}

bool supported(unsigned codePage) {
    return codePage == kCodePageAnsi || codePage == kCodePageUtf8;
}

template <class Src, class Dst>
bool badArguments(unsigned codePage, const Src* src, int srcLen, const Dst* dst, int dstLen) {
    return !supported(codePage) || !src || srcLen == 0 || dstLen < 0 || (!dst && dstLen);
}

// Turns a codec outcome into the platform function's result and last error.
int finish(const utf8::Outcome& r, bool errorOnReplace) {
    if (r.overflow) return fail(kErrorInsufficientBuffer);
    if (r.replaced && errorOnReplace) return fail(kErrorNoUnicodeTranslation);
    if (r.written > size_t(INT_MAX)) return fail(kErrorInvalidParameter);
    return int(r.written);
}

size_t lengthWithTerminator(const unsigned short* s) {
    size_t n = 0;
    while (s[n])
        ++n;
    return n + 1;
}

} // namespace

unsigned long lastError() {
    return t_lastError;
}
void setLastError(unsigned long error) {
    t_lastError = error;
}

int multiByteToWide(unsigned codePage, unsigned long flags, const char* src, int srcLen,
                    unsigned short* dst, int dstLen) {
    if (badArguments(codePage, src, srcLen, dst, dstLen)) return fail(kErrorInvalidParameter);
    const size_t n = srcLen < 0 ? std::strlen(src) + 1 : size_t(srcLen);
    const auto* bytes = reinterpret_cast<const unsigned char*>(src);
    return finish(utf8::decode(bytes, n, dstLen ? dst : nullptr, size_t(dstLen)),
                  (flags & kMbErrInvalidChars) != 0);
}

int wideToMultiByte(unsigned codePage, unsigned long flags, const unsigned short* src, int srcLen,
                    char* dst, int dstLen) {
    if (badArguments(codePage, src, srcLen, dst, dstLen)) return fail(kErrorInvalidParameter);
    const size_t n = srcLen < 0 ? lengthWithTerminator(src) : size_t(srcLen);
    auto* bytes = reinterpret_cast<unsigned char*>(dst);
    return finish(utf8::encode(src, n, dstLen ? bytes : nullptr, size_t(dstLen)),
                  (flags & kWcErrInvalidChars) != 0);
}

int cleanPrefix(unsigned codePage, const char* src, int srcLen) {
    if (!supported(codePage) || !src || srcLen <= 0) return 0;
    return int(utf8::validPrefix(reinterpret_cast<const unsigned char*>(src), size_t(srcLen)));
}

} // namespace platform
} // namespace pf
