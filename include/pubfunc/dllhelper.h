// CDLLHelper: one dynamic library, loaded (owned) or found already loaded
// (borrowed), and the lookup of its entries.
#pragma once

#include <pubfunc/export.h>

#if defined(_WIN32)
#include <windows.h>
#else
// An entry's address as the Windows build types it: a function taking nothing
// and returning a 64-bit integer; cast it to the entry's real type before a call.
typedef long long (*FARPROC)();
#endif

// Linux: a library is a shared object (dlopen with RTLD_NOW), a module name is
// looked up among the objects already loaded (dlopen with RTLD_NOLOAD), entries
// are found with dlsym; paths are UTF-8 on the way to the system.
//
// Only an owned handle is ever released, and only once: a copy, made by copy
// construction or assignment, holds the same handle as borrowed, so it never frees
// the library, and stays usable only while the owner keeps the library loaded.
// Assignment first releases what the target owned.
class PUBFUNC_API CDLLHelper {
public:
    CDLLHelper();
    CDLLHelper(const CDLLHelper& other);
    CDLLHelper& operator=(const CDLLHelper& other);
    ~CDLLHelper();

    // Releases an owned handle (a borrowed one is replaced), then loads path.
    // True when loaded. Linux ignores flags (there are no Windows search flags).
    bool LoadDll(const wstring16& path);
    bool LoadDllEx(const wstring16& path, unsigned int flags);
    // True when a handle is held afterwards: a held handle is kept as it is,
    // otherwise the already-loaded module name is borrowed.
    bool FindDll(const wstring16& name);
    // Borrows the already-loaded module name whatever was held (an owned handle
    // held until then stays loaded). Null name: the program's own module.
    bool GetModuleHandleW(const wchar16* name);
    // Null when no library is held, the name is null or the entry is missing.
    FARPROC GetProcAddress(const char* name) const;
    bool IsValidDll() const;
    HINSTANCE get_DllHandle() const;
    unsigned long long get_DllInt() const;
    operator HINSTANCE() const;
    // Releases an owned handle; a borrowed handle stays held.
    void FreeDll();

private:
    HMODULE _module;
    bool _borrowed;
};
