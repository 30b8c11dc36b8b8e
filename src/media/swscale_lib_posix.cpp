// libswscale on Linux: its files are libswscale.so.N, and the system has its own
// copy. No guard: a fault inside the library is the process's, as any
// out-of-bounds read is.
#include "media/swscale_lib.h"

#include "sys/dllhelper_internal.h"

#include <string>

namespace pf {
namespace media {

wstring16 swscaleFileName(int major) {
    const std::string name = "libswscale.so." + std::to_string(major);
    return wstring16(name.begin(), name.end());
}

bool hasSystemSwscale() {
    return true;
}

// A handle's symbol search covers the libraries it depends on, libavutil among them.
PixFmtByNameFn pixFmtByName(HMODULE lib) {
    return reinterpret_cast<PixFmtByNameFn>(
        reinterpret_cast<void*>(dl::symbol(lib, "av_get_pix_fmt")));
}

void guardedCall(void (*fn)(void*), void* arg) {
    fn(arg);
}

} // namespace media
} // namespace pf
