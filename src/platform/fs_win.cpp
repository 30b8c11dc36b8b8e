// Files, folders, ids and local time on Windows.
#include "platform/fs.h"

#include <windows.h>
#include <shlobj.h>
#include <sys/timeb.h>
#include <time.h>
#include <wchar.h>

#include <cerrno>
#include <cstring>

namespace pf {
namespace platform {

namespace {
const wchar_t* w(const unsigned short* p) {
    return reinterpret_cast<const wchar_t*>(p);
}
} // namespace

wchar16 pathSeparator() {
    return L'\\';
}

namespace {
// The runtime's wide mode text; false when mode does not fit.
bool wideMode(const char* mode, wchar_t (&out)[16]) {
    const size_t n = std::strlen(mode);
    if (n >= sizeof out / sizeof out[0]) return false;
    for (size_t i = 0; i <= n; ++i)
        out[i] = static_cast<unsigned char>(mode[i]);
    return true;
}
} // namespace

FILE* openFile(const unsigned short* path, const char* mode) {
    wchar_t m[16];
    if (!path || !mode || !wideMode(mode, m)) return nullptr;
    return _wfopen(w(path), m);
}

// The secure-library open takes no share mode: it opens the file unshared.
FILE* openFileUnshared(const unsigned short* path, const char* mode) {
    wchar_t m[16];
    if (!path || !mode || !wideMode(mode, m)) return nullptr;
    FILE* f = nullptr;
    const errno_t error = _wfopen_s(&f, w(path), m);
    if (error) {
        errno = error;
        return nullptr;
    }
    return f;
}

wstring16 errnoText(int error) {
    const wchar_t* text = _wcserror(error);
    return text ? wstring16(text) : wstring16();
}

bool isDirectory(const unsigned short* path) {
    const DWORD attributes = GetFileAttributesW(w(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int createFolderChain(const unsigned short* path) {
    return SHCreateDirectoryExW(nullptr, w(path), nullptr);
}

long long fileSize(FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    return _ftelli64(file);
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

void currentTime(long long& seconds, int& millisecond) {
    __timeb64 now;
    _ftime64(&now);
    seconds = now.time;
    millisecond = now.millitm;
}

int localTimeText(long long seconds, wchar16* text, size_t& length) {
    length = 0;
    const __time64_t t = seconds;
    tm local;
    const errno_t error = _localtime64_s(&local, &t);
    if (error) return error;
    length = wcsftime(text, kTimeTextCap, L"%a %b %d %H:%M:%S %Y:", &local);
    return 0;
}

} // namespace platform
} // namespace pf
