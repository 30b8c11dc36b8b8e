// Folders, files, ids and local time on Windows.
#include "platform/fs.h"

#include <windows.h>
#include <shlobj.h>
#include <sys/timeb.h>
#include <time.h>
#include <wchar.h>

namespace pf {
namespace platform {

namespace {
const wchar_t* w(const unsigned short* p) {
    return reinterpret_cast<const wchar_t*>(p);
}
} // namespace

wchar16 pathSeparator() { return L'\\'; }

bool isDirectory(const unsigned short* path) {
    const DWORD attributes = GetFileAttributesW(w(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int createFolderChain(const unsigned short* path) {
    return SHCreateDirectoryExW(nullptr, w(path), nullptr);
}

bool removeFile(const unsigned short* path) {
    return DeleteFileW(w(path)) != FALSE;
}
bool moveFile(const unsigned short* from, const unsigned short* to) {
    return MoveFileW(w(from), w(to)) != FALSE;
}

unsigned long currentProcessId() {
    return GetCurrentProcessId();
}
unsigned long currentThreadId() {
    return GetCurrentThreadId();
}

int localTimeText(wstring16& text, int& millisecond) {
    __timeb64 now;
    _ftime64(&now);
    tm local;
    const errno_t error = _localtime64_s(&local, &now.time);
    if (error) return error;
    wchar_t buf[50];
    const size_t n = wcsftime(buf, 50, L"%a %b %d %H:%M:%S %Y:", &local);
    text.assign(buf, n);
    millisecond = now.millitm;
    return 0;
}

} // namespace platform
} // namespace pf
