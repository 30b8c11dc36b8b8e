// Loading libraries on Windows.
#include "sys/dllhelper_internal.h"

namespace pf {
namespace dl {

HMODULE load(const wstring16& path) {
    return LoadLibraryW(path.c_str());
}
HMODULE loadEx(const wstring16& path, unsigned int flags) {
    return LoadLibraryExW(path.c_str(), nullptr, flags);
}
HMODULE find(const wchar16* name) {
    return ::GetModuleHandleW(name);
}
FARPROC symbol(HMODULE module, const char* name) {
    return ::GetProcAddress(module, name);
}
void release(HMODULE module) {
    FreeLibrary(module);
}

} // namespace dl
} // namespace pf
