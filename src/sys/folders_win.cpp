// The user's shell folders, file existence, free space and BMP output on Windows.
#include <pubfunc/pubfunc.h>

#include "sys/process.h"

#include <shlobj.h>
#include <windows.h>

namespace {
constexpr size_t kPathCap = 260;
constexpr size_t kDriveRootLength = 3;
} // namespace

namespace pf {
namespace sys {

// AppData is not created by the shell (the caller creates it); Documents is.
wstring16 appDataFolder() {
    wchar_t path[kPathCap] = L"";
    SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE);
    return path;
}

wstring16 documentsFolder() {
    wchar_t path[kPathCap] = L"";
    if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_PERSONAL, TRUE)) return wstring16();
    return path;
}

bool writeFromStart(const wstring16& path, const char* head, size_t headSize, const char* data,
                    size_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, head, DWORD(headSize), &written, nullptr);
    if (size) WriteFile(file, data, DWORD(size), &written, nullptr);
    CloseHandle(file);
    return true;
}

} // namespace sys
} // namespace pf

bool pubfunc::isFileExist(const wstring16& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

long long pubfunc::getDiskFreeSpace(const wstring16& path) {
    const wstring16 root = path.substr(0, kDriveRootLength);
    ULARGE_INTEGER free{};
    if (!GetDiskFreeSpaceExW(root.c_str(), &free, nullptr, nullptr)) return 0;
    return static_cast<long long>(free.QuadPart);
}
