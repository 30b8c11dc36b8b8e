// The platform calls behind CDLLHelper and CShareData (dllhelper_win.cpp,
// dllhelper_posix.cpp, sharedata_win.cpp, sharedata_posix.cpp).
#pragma once

#include <pubfunc/dllhelper.h>

#include <string>

namespace pf {
namespace dl {

// Null when the library cannot be loaded or the module is not loaded.
HMODULE load(const wstring16& path);
HMODULE loadEx(const wstring16& path, unsigned int flags);
HMODULE find(const wchar16* name);
FARPROC symbol(HMODULE module, const char* name);
void release(HMODULE module);

// Linux build only: UTF-8 of terminated UTF-16 text (ill-formed units become
// U+FFFD) and back; null gives empty.
std::string utf8(const wchar16* text);
wstring16 fromUtf8(const char* text, size_t length);

} // namespace dl

namespace shm {

// Null on failure. create opens an existing block of that name as well.
HANDLE create(const wstring16& name, unsigned int size);
HANDLE open(const wstring16& name);
// Null when the block cannot give a view of size bytes from its start.
char* map(HANDLE block, unsigned int size);
void unmap(char* view, unsigned int size);
void close(HANDLE block);
// The error code of the last failed call of this thread.
unsigned long lastError();

} // namespace shm
} // namespace pf
