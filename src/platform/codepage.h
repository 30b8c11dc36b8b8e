// Code-page conversion between narrow text and 16-bit UTF-16 units, with the
// argument rules, results and last-error values of the Windows functions
// MultiByteToWideChar and WideCharToMultiByte. Windows calls them; elsewhere the
// library's own UTF-8 codec stands in, for code page 65001 and for code page 0
// (the system code page, which is UTF-8 there).
#pragma once

#include <cstddef>

namespace pf {
namespace platform {

constexpr unsigned kCodePageAnsi = 0;
constexpr unsigned kCodePageUtf8 = 65001;

// Flags, with the platform's values.
constexpr unsigned long kMbPrecomposed = 0x1;
constexpr unsigned long kMbErrInvalidChars = 0x8;
constexpr unsigned long kWcErrInvalidChars = 0x80;

// Last-error values that the conversions set.
constexpr unsigned long kErrorInvalidParameter = 87;
constexpr unsigned long kErrorInsufficientBuffer = 122;
constexpr unsigned long kErrorNoUnicodeTranslation = 1113;

// The calling thread's last error, as the platform keeps it.
unsigned long lastError();
void setLastError(unsigned long error);

// srcLen bytes of src (any negative srcLen: up to and including the terminating
// 0 byte) to UTF-16. With dstLen 0 the units needed are returned and dst is not
// touched. 0 on failure with the last error set: 87 for a null src, a srcLen of
// 0, a negative dstLen or a null dst with room; 122 when dst is too small; 1113
// for ill-formed input under kMbErrInvalidChars (without it, each ill-formed part
// becomes U+FFFD). Flags other than the error flag change nothing for UTF-8.
// As the Windows function does, a surrogate pair that ends the input and finds
// room for one unit stores its high half and succeeds: a caller that needs whole
// characters treats a full dst ending in a high surrogate as too small.
int multiByteToWide(unsigned codePage, unsigned long flags, const char* src, int srcLen,
                    unsigned short* dst, int dstLen);

// srcLen units of src (negative: up to and including the terminator) to narrow text,
// with no default character. Errors as above; with kWcErrInvalidChars a lone
// surrogate fails with 1113, without it it becomes U+FFFD.
int wideToMultiByte(unsigned codePage, unsigned long flags, const unsigned short* src, int srcLen,
                    char* dst, int dstLen);

// The length of the longest prefix of src[0, srcLen) that converts to UTF-16
// under kMbErrInvalidChars: whole characters before the first one that does not.
// One pass over the input, so finding where clean text ends costs linear time.
int cleanPrefix(unsigned codePage, const char* src, int srcLen);

} // namespace platform
} // namespace pf
