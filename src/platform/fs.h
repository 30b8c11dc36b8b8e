// Files and folders named by 16-bit UTF-16 paths, process and thread ids, local time.
#pragma once

#include <pubfunc/export.h>

#include <cstddef>
#include <cstdio>

namespace pf {
namespace platform {

// Opens the file at a terminated UTF-16 path with a C runtime mode ("wb", "a+",
// ...). Null on failure and for a null path or mode, with errno set. Where the
// file system names files in bytes (UTF-8), a path that is not well-formed UTF-16
// fails (EINVAL) rather than opening a file of another name, and a folder is
// refused (EISDIR) as the Windows runtime refuses it.
FILE* openFile(const unsigned short* path, const char* mode);

// As openFile; on Windows the file is opened unshared: while this handle is open
// no other handle, in this process or another, opens it.
FILE* openFileUnshared(const unsigned short* path, const char* mode);

// The size in bytes of an open file, found by seeking to its end (the position stays
// there); -1 with errno set when it cannot seek. Sizes past 4 GiB count in full on
// both builds (the Windows runtime's ftell gives only their low 32 bits).
long long fileSize(FILE* file);

// The C runtime's message for an errno value, as wide text. Where the runtime
// speaks in bytes, they are taken as UTF-8.
wstring16 errnoText(int error);

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

// The clock of log lines: whole seconds since 1970 and the milliseconds of the
// current second.
void currentTime(long long& seconds, int& millisecond);

// The local time of `seconds` as "%a %b %d %H:%M:%S %Y:", with the day and month
// names of the process's current locale (as the host set it with setlocale; the C
// locale's English names until then), converted to UTF-16 as the runtime's
// wcsftime gives them in a buffer of kTimeTextCap units: at most kTimeTextCap - 1
// units, none when the text would need more. 0 on success, else the error code of
// the failed local-time conversion.
constexpr size_t kTimeTextCap = 50;
int localTimeText(long long seconds, wchar16* text, size_t& length);

} // namespace platform
} // namespace pf
