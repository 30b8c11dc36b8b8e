// The platform side of pubfunc's process and folder utilities (process_win.cpp,
// process_posix.cpp, folders_win.cpp, folders_posix.cpp).
#pragma once

#include <pubfunc/export.h>

#include <string>

namespace pf {
namespace sys {

// The full path of the process's executable, or of this library's own file when
// library is true; empty when the system cannot tell.
wstring16 modulePath(bool library);

// The user's roaming application-data and documents folders, without a trailing
// separator; empty when unknown. The documents folder is created when missing.
wstring16 appDataFolder();
wstring16 documentsFolder();

// Writes head then data at the start of the file at path, creating it when
// missing and never shortening it; false when it cannot be opened for writing.
bool writeFromStart(const wstring16& path, const char* head, size_t headSize, const char* data,
                    size_t size);

} // namespace sys
} // namespace pf
