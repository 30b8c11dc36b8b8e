// Folders and files by 16-bit UTF-16 path: what the logger's open and rotation need.
#pragma once

#include <pubfunc/export.h>

namespace pf {
namespace platform {

// The separator that joins a folder and a file name: \\ on Windows, / elsewhere.
wchar16 pathSeparator();

// True when path names an existing directory.
bool isDirectory(const unsigned short* path);

// Creates path and every missing folder above it. Only full (absolute) paths are
// accepted. 0 on success; otherwise the platform's error value (an existing path
// is an error too, as it is for the Windows shell call behind it).
int createFolderChain(const unsigned short* path);

// Results are ignored by the callers; they report success for the tests.
bool removeFile(const unsigned short* path);
bool moveFile(const unsigned short* from, const unsigned short* to);

// The process and thread ids that log lines carry.
unsigned long currentProcessId();
unsigned long currentThreadId();

// The local time now as "%a %b %d %H:%M:%S %Y:" (C-locale names) and the
// milliseconds of the current second. 0 on success, else the error code of the
// failed local-time conversion.
int localTimeText(wstring16& text, int& millisecond);

} // namespace platform
} // namespace pf
