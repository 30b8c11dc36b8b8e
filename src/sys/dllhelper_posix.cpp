// Loading shared objects on Linux, standing in for the Windows loader.
#include "sys/dllhelper_internal.h"

#include "platform/utf8.h"

#include <dlfcn.h>

namespace pf {
namespace dl {

std::string utf8(const wchar16* text) {
    if (!text) return std::string();
    size_t n = 0;
    while (text[n])
        ++n;
    const utf8::unit* units = reinterpret_cast<const utf8::unit*>(text);
    std::string out(utf8::encode(units, n, nullptr, 0).written, '\0');
    utf8::encode(units, n, reinterpret_cast<unsigned char*>(&out[0]), out.size());
    return out;
}

wstring16 fromUtf8(const char* text, size_t length) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    wstring16 out(utf8::decode(bytes, length, nullptr, 0).written, wchar16(0));
    utf8::decode(bytes, length, reinterpret_cast<utf8::unit*>(&out[0]), out.size());
    return out;
}

HMODULE load(const wstring16& path) {
    return path.empty() ? nullptr : dlopen(utf8(path.c_str()).c_str(), RTLD_NOW);
}
HMODULE loadEx(const wstring16& path, unsigned int) {
    return load(path);
}
// A null name is the program itself, as GetModuleHandleW(NULL) is; an empty one
// names no module (dlopen would take it for the program).
HMODULE find(const wchar16* name) {
    if (name && !*name) return nullptr;
    HMODULE module =
        name ? dlopen(utf8(name).c_str(), RTLD_NOW | RTLD_NOLOAD) : dlopen(nullptr, RTLD_NOW);
    // The lookup took a reference; dropping it keeps the handle borrowed.
    if (module) dlclose(module);
    return module;
}
FARPROC symbol(HMODULE module, const char* name) {
    return reinterpret_cast<FARPROC>(dlsym(module, name));
}
void release(HMODULE module) {
    dlclose(module);
}

} // namespace dl
} // namespace pf
