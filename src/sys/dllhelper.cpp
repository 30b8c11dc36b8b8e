// CDLLHelper: the ownership rules; the loading itself is behind pf::dl.
#include <pubfunc/dllhelper.h>

#include "sys/dllhelper_internal.h"

#include <cstdint>

CDLLHelper::CDLLHelper() : _module(nullptr), _borrowed(false) {}

// A copy borrows: only the object that loaded a library ever frees it.
CDLLHelper::CDLLHelper(const CDLLHelper& other) : _module(other._module), _borrowed(true) {}

CDLLHelper& CDLLHelper::operator=(const CDLLHelper& other) {
    if (this == &other) return *this;
    FreeDll();
    _module = other._module;
    _borrowed = true;
    return *this;
}

CDLLHelper::~CDLLHelper() {
    FreeDll();
}

bool CDLLHelper::LoadDll(const wstring16& path) {
    FreeDll();
    _module = pf::dl::load(path);
    _borrowed = false;
    return _module != nullptr;
}

bool CDLLHelper::LoadDllEx(const wstring16& path, unsigned int flags) {
    FreeDll();
    _module = pf::dl::loadEx(path, flags);
    _borrowed = false;
    return _module != nullptr;
}

bool CDLLHelper::FindDll(const wstring16& name) {
    if (_module) return true;
    _module = pf::dl::find(name.c_str());
    _borrowed = true;
    return _module != nullptr;
}

bool CDLLHelper::GetModuleHandleW(const wchar16* name) {
    _module = pf::dl::find(name);
    _borrowed = true;
    return _module != nullptr;
}

FARPROC CDLLHelper::GetProcAddress(const char* name) const {
    if (!_module || !name) return nullptr;
    return pf::dl::symbol(_module, name);
}

bool CDLLHelper::IsValidDll() const {
    return _module != nullptr;
}

HINSTANCE CDLLHelper::get_DllHandle() const {
    return _module;
}

unsigned long long CDLLHelper::get_DllInt() const {
    return reinterpret_cast<std::uintptr_t>(_module);
}

CDLLHelper::operator HINSTANCE() const {
    return _module;
}

// FreeDll leaves a borrowed handle held, so that a later FindDll keeps finding it.
void CDLLHelper::FreeDll() {
    if (!_module || _borrowed) return;
    pf::dl::release(_module);
    _module = nullptr;
}
