// Code-page conversion on Windows: the Win32 functions themselves.
#include "platform/codepage.h"
#include "platform/utf8.h"

#include <windows.h>

namespace pf {
namespace platform {

unsigned long lastError() {
    return GetLastError();
}
void setLastError(unsigned long error) {
    SetLastError(error);
}

int multiByteToWide(unsigned codePage, unsigned long flags, const char* src, int srcLen,
                    unsigned short* dst, int dstLen) {
    return MultiByteToWideChar(codePage, flags, src, srcLen, reinterpret_cast<wchar_t*>(dst),
                               dstLen);
}

int wideToMultiByte(unsigned codePage, unsigned long flags, const unsigned short* src, int srcLen,
                    char* dst, int dstLen) {
    return WideCharToMultiByte(codePage, flags, reinterpret_cast<const wchar_t*>(src), srcLen, dst,
                               dstLen, nullptr, nullptr);
}

namespace {
bool convertsAlone(unsigned codePage, const char* s, int n) {
    wchar_t out[4];
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, s, n, out, 4) > 0;
}
} // namespace

// UTF-8 is checked by the library's own validator. Other code pages are walked
// character by character (lead bytes from the code page's own table), each
// character converted alone: one small call per character, never one per byte
// of input per dropped byte. Single bytes are remembered, so a single-byte code
// page costs at most 256 calls whatever the input's length.
int cleanPrefix(unsigned codePage, const char* src, int srcLen) {
    if (!src || srcLen <= 0) return 0;
    const unsigned effective = codePage == CP_ACP ? GetACP() : codePage;
    if (effective == CP_UTF8)
        return int(utf8::validPrefix(reinterpret_cast<const unsigned char*>(src), size_t(srcLen)));
    CPINFO info;
    if (!GetCPInfo(codePage, &info)) return 0;
    signed char known[256] = {}; // 0 untested, 1 converts, -1 does not
    int i = 0;
    while (i < srcLen) {
        const unsigned char b = static_cast<unsigned char>(src[i]);
        const int width = info.MaxCharSize > 1 && IsDBCSLeadByteEx(codePage, b) ? 2 : 1;
        if (i + width > srcLen) break;
        if (width == 1) {
            if (!known[b]) known[b] = convertsAlone(codePage, src + i, 1) ? 1 : -1;
            if (known[b] < 0) break;
        } else if (!convertsAlone(codePage, src + i, 2)) {
            break;
        }
        i += width;
    }
    return i;
}

} // namespace platform
} // namespace pf
