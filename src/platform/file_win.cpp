// Files by wide path on Windows: the C runtime's wide open.
#include "platform/file.h"

#include <cstring>
#include <cwchar>

namespace pf {
namespace platform {

FILE* openFile(const unsigned short* path, const char* mode) {
    if (!path || !mode) return nullptr;
    wchar_t wideMode[16];
    const size_t n = std::strlen(mode);
    if (n >= sizeof wideMode / sizeof wideMode[0]) return nullptr;
    for (size_t i = 0; i <= n; ++i)
        wideMode[i] = static_cast<unsigned char>(mode[i]);
    return _wfopen(reinterpret_cast<const wchar_t*>(path), wideMode);
}

} // namespace platform
} // namespace pf
