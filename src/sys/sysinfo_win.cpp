// Windows facts for pubfunc's system information: version, memory, processor,
// display adapter and desktop composition.
#include <pubfunc/pubfunc.h>

#include "sys/sysinfo_internal.h"

#include <string>
#include <windows.h>

namespace {

// Loaded by the first composition call and kept for the life of the process. The
// lazy load is not locked: two threads racing it at most load the library twice.
HMODULE s_dwmapi = nullptr;

// From the system folder only, so that no copy in the current folder is taken.
FARPROC dwmEntry(const char* name) {
    if (!s_dwmapi) s_dwmapi = LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return s_dwmapi ? GetProcAddress(s_dwmapi, name) : nullptr;
}

wstring16 fromAnsi(const std::string& text) {
    if (text.empty()) return wstring16();
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    if (n <= 0) return wstring16();
    wstring16 out(size_t(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), &out[0], n);
    return out;
}

constexpr REGSAM kReadKey = 0x20019;
constexpr DWORD kMemoryStatusSize = 64;
constexpr DWORD kExtendedVersionSize = 284, kPlainVersionSize = 276;

} // namespace

namespace pf {
namespace sysinfo {

// The extended record first, the plain one when the system refuses it.
bool queryVersion(unsigned int& major, unsigned int& minor) {
    OSVERSIONINFOEXW record = {};
    static_assert(sizeof(record) == kExtendedVersionSize, "the extended version record");
    record.dwOSVersionInfoSize = kExtendedVersionSize;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&record))) {
        record = OSVERSIONINFOEXW{};
        record.dwOSVersionInfoSize = kPlainVersionSize;
        if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&record))) return false;
    }
    major = record.dwMajorVersion;
    minor = record.dwMinorVersion;
    return true;
}

} // namespace sysinfo
} // namespace pf

bool pubfunc::IsWin10OSVersion() {
    HMODULE ntdll = LoadLibraryW(L"ntdll.dll");
    if (!ntdll) return false;
    typedef void(WINAPI * VersionNumbers)(DWORD*, DWORD*, DWORD*);
    const VersionNumbers numbers = reinterpret_cast<VersionNumbers>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
    DWORD major = 0, minor = 0, build = 0;
    if (numbers) numbers(&major, &minor, &build);
    FreeLibrary(ntdll);
    return major == 10 && minor == 0;
}

unsigned long long pubfunc::GetMemoryTotal() {
    MEMORYSTATUSEX status = {};
    status.dwLength = kMemoryStatusSize;
    GlobalMemoryStatusEx(&status);
    return status.ullTotalPhys >> 20;
}

unsigned long pubfunc::GetCPUSpeed() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Hardware\\Description\\System\\CentralProcessor\\0", 0,
                      kReadKey, &key) != ERROR_SUCCESS)
        return 0;
    DWORD mhz = 0, size = sizeof(mhz);
    if (RegQueryValueExA(key, "~MHz", nullptr, nullptr, reinterpret_cast<BYTE*>(&mhz), &size) !=
        ERROR_SUCCESS)
        mhz = 0;
    RegCloseKey(key);
    return mhz;
}

wstring16 pubfunc::getCPUName() {
    HKEY key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                    &key) != ERROR_SUCCESS)
        return wstring16();
    char name[256] = {};
    DWORD size = sizeof(name) - 1; // keeps a NUL after any value
    std::string text;
    if (RegQueryValueExA(key, "ProcessorNameString", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS)
        text = name;
    RegCloseKey(key);
    return fromAnsi(text);
}

// A binary value holds UTF-16: dropping its zero bytes keeps its ASCII text.
wstring16 pubfunc::GetDisplayAdapterName() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "System\\ControlSet001\\Control\\class\\"
                      "{4D36E968-E325-11CE-BFC1-08002BE10318}\\0000",
                      0, KEY_READ, &key) != ERROR_SUCCESS)
        return wstring16();
    const char* const value = "HardwareInformation.AdapterString";
    DWORD type = 0, size = 0;
    std::string text;
    if (RegQueryValueExA(key, value, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        if (type == REG_BINARY) {
            std::string bytes(size, '\0');
            if (RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(&bytes[0]),
                                 &size) == ERROR_SUCCESS)
                for (DWORD i = 0; i < size; ++i)
                    if (bytes[i]) text += bytes[i];
        } else if (type == REG_SZ) {
            char buffer[256] = {};
            DWORD room = sizeof(buffer) - 1;
            if (RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                                 &room) == ERROR_SUCCESS)
                text = buffer;
        }
    }
    RegCloseKey(key);
    return fromAnsi(text);
}

bool pubfunc::IsCompositionEnabled() {
    if (!isAboveVista()) return false;
    typedef HRESULT(WINAPI * IsEnabled)(BOOL*);
    const IsEnabled isEnabled =
        reinterpret_cast<IsEnabled>(reinterpret_cast<void*>(dwmEntry("DwmIsCompositionEnabled")));
    if (!isEnabled) return false;
    BOOL enabled = 1;
    return isEnabled(&enabled) == 0 && enabled == 1;
}

long pubfunc::enableComposition(bool enable) {
    if (!isAboveVista()) return S_FALSE;
    typedef HRESULT(WINAPI * Enable)(UINT);
    const Enable enableFn =
        reinterpret_cast<Enable>(reinterpret_cast<void*>(dwmEntry("DwmEnableComposition")));
    if (!enableFn) return S_FALSE;
    return enableFn(enable ? 1 : 0);
}
