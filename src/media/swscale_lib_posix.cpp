// Loading libswscale on Linux: libswscale.so.N beside this library, then the
// system's libswscale.so.N, for N from 2 upwards. No guard: a fault inside the
// library is the process's, as any out-of-bounds read is.
#include "media/swscale_lib.h"

#include "platform/utf8.h"

#include <dlfcn.h>

#include <string>

namespace pf {
namespace media {

namespace {

constexpr int kFirstMajor = 2;
constexpr int kLastMajor = 12;

std::string toPath(const wstring16& folder) {
    auto units = reinterpret_cast<const utf8::unit*>(folder.data());
    std::string out(utf8::encode(units, folder.size(), nullptr, 0).written, '\0');
    utf8::encode(units, folder.size(), reinterpret_cast<unsigned char*>(&out[0]), out.size());
    return out;
}

} // namespace

HINSTANCE loadSwscale(const wstring16& folder, bool systemToo) {
    const std::string dir = toPath(folder);
    for (int major = kFirstMajor; major <= kLastMajor; ++major) {
        const std::string path = dir + "/libswscale.so." + std::to_string(major);
        if (void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return lib;
    }
    if (!systemToo) return nullptr;
    for (int major = kFirstMajor; major <= kLastMajor; ++major) {
        const std::string name = "libswscale.so." + std::to_string(major);
        if (void* lib = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) return lib;
    }
    return nullptr;
}

void* swscaleSymbol(HINSTANCE lib, const char* name) {
    return dlsym(lib, name);
}

void unloadSwscale(HINSTANCE lib) {
    dlclose(lib);
}

// A handle's symbol search covers the libraries it depends on, libavutil among them.
PixFmtByNameFn pixFmtByName(HINSTANCE lib) {
    return reinterpret_cast<PixFmtByNameFn>(dlsym(lib, "av_get_pix_fmt"));
}

void guardedCall(void (*fn)(void*), void* arg) {
    fn(arg);
}

} // namespace media
} // namespace pf
