// pubfunc's process and window utilities on Windows: module paths, process
// snapshots, top-level windows, the message filter, privileges, and the browser.
#include <pubfunc/pubfunc.h>
#include <pubfunc/vtqlogger.h>

#include "platform/platform.h"
#include "sys/process.h"

#include <process.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kPathCap = 260;
constexpr size_t kCommandCap = 4096;
constexpr DWORD kRegistryValueBytes = 520;
constexpr UINT kMsgFilterAdd = 1;
constexpr UINT kMsgFilterRemove = 2;
constexpr DWORD kTokenAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY; // 0x28

// Closes a snapshot or token on every path out.
struct Handle {
    HANDLE h;
    ~Handle() {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

// The url as one command-line argument: inside quotes, a quote becomes \" and
// the backslashes before a quote, or before the closing quote, are doubled;
// CommandLineToArgvW reads exactly the url back, and no character of it can end
// the argument early.
std::wstring quoteArgument(const std::wstring& text) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

bool shellOpenSucceeded(HINSTANCE result) {
    return reinterpret_cast<INT_PTR>(result) > 32;
}

// The last resort when the registered browser cannot be started.
bool openWithInternetExplorer(const wchar_t* url) {
    if (!url || !*url) return false;
    const std::wstring parameters = quoteArgument(url);
    wchar_t folder[kPathCap] = L"";
    if (SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE)) {
        const std::wstring browser = std::wstring(folder) + L"\\Internet Explorer\\iexplore.exe";
        if (GetFileAttributesW(browser.c_str()) != INVALID_FILE_ATTRIBUTES &&
            shellOpenSucceeded(ShellExecuteW(nullptr, L"open", browser.c_str(), parameters.c_str(),
                                             nullptr, SW_SHOW)))
            return true;
    }
    return shellOpenSucceeded(
        ShellExecuteW(nullptr, L"open", L"iexplore.exe", parameters.c_str(), nullptr, SW_SHOW));
}

// Starts the registered browser command with the url, or, when the command holds
// %1, leaves the url to the shell's "open"; the fallback's result is not needed.
unsigned __stdcall openUrlWorker(void* argument) {
    wchar_t* url = static_cast<wchar_t*>(argument);
    wchar_t command[kPathCap] = L"";
    DWORD bytes = kRegistryValueBytes;
    if (SHGetValueW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", nullptr, nullptr, command,
                    &bytes) != ERROR_SUCCESS)
        command[0] = L'\0';
    command[kPathCap - 1] = L'\0';
    if (!std::wcsstr(command, L"%1")) {
        const std::wstring line = std::wstring(command) + L" " + quoteArgument(url);
        wchar_t buffer[kCommandCap];
        const size_t n = line.size() < kCommandCap ? line.size() : kCommandCap - 1;
        line.copy(buffer, n);
        buffer[n] = L'\0';
        STARTUPINFOW startup;
        std::memset(&startup, 0, sizeof startup);
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (CreateProcessW(nullptr, buffer, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                           nullptr, &startup, &started)) {
            CloseHandle(started.hProcess);
            CloseHandle(started.hThread);
        } else {
            openWithInternetExplorer(url);
        }
    } else {
        SHELLEXECUTEINFOW info;
        std::memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"open";
        info.lpFile = url;
        info.nShow = SW_SHOWDEFAULT;
        if (!ShellExecuteExW(&info)) openWithInternetExplorer(url);
    }
    delete[] url;
    return 0;
}

} // namespace

namespace pf {
namespace sys {

wstring16 modulePath(bool library) {
    wchar_t path[kPathCap] = L"";
    HMODULE module = library ? static_cast<HMODULE>(pf::platform::moduleHandle()) : nullptr;
    if (library && !module) return wstring16();
    const DWORD n = GetModuleFileNameW(module, path, kPathCap - 1);
    return wstring16(path, n < kPathCap ? n : 0);
}

} // namespace sys
} // namespace pf

bool pubfunc::isProcessExist(unsigned long pid) {
    Handle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (snapshot.h == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.h, &entry); more;
         more = Process32NextW(snapshot.h, &entry))
        if (entry.th32ProcessID == pid) return true;
    return false;
}

HWND pubfunc::getProcessMainWnd(unsigned long pid, const wstring16& title) {
    VTQ::VTQLogger::Instance()->LogInfo(L"pubfunc::getProcessMainWnd dwPID=%d, strTitle=%s",
                                        int(pid), title.c_str());
    HWND wnd = GetTopWindow(nullptr);
    if (!IsWindow(wnd)) return nullptr;
    for (; IsWindow(wnd); wnd = GetWindow(wnd, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(wnd, &owner);
        if (owner != pid) continue;
        wchar_t text[kPathCap] = L"";
        GetWindowTextW(wnd, text, kPathCap - 1);
        const int visible = IsWindowVisible(wnd) ? 1 : 0;
        VTQ::VTQLogger::Instance()->LogInfo(
            L"pubfunc::getProcessMainWnd find result: szTitle=%s, isVisible=%d", text, visible);
        if (visible) return wnd;
    }
    return nullptr;
}

// The windows are gathered in one walk and then raised: raising a window moves it
// to the top of the z-order that the walk follows, which would visit the process's
// windows again and again. They are raised from the bottom up, so they keep their
// order among themselves.
void pubfunc::showProcessMainWnd(unsigned long pid) {
    std::vector<HWND> windows;
    for (HWND wnd = GetTopWindow(nullptr); wnd; wnd = GetWindow(wnd, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(wnd, &owner);
        if (owner == pid && IsWindow(wnd)) windows.push_back(wnd);
    }
    for (auto wnd = windows.rbegin(); wnd != windows.rend(); ++wnd) {
        ShowWindow(*wnd, SW_SHOW);
        BringWindowToTop(*wnd);
    }
}

unsigned long pubfunc::getProcessIDWnd(const wstring16& exeName, HWND& wnd,
                                       const wstring16& title) {
    Handle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (snapshot.h == INVALID_HANDLE_VALUE) return 0;
    wstring16 wanted = exeName;
    ToLower(wanted);
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.h, &entry); more;
         more = Process32NextW(snapshot.h, &entry)) {
        wstring16 name = entry.szExeFile;
        ToLower(name);
        if (name != wanted) continue;
        HWND found = getProcessMainWnd(entry.th32ProcessID, title);
        if (IsWindow(found)) {
            wnd = found;
            return entry.th32ProcessID;
        }
    }
    return 0;
}

HWND pubfunc::FindWindowTop(HWND hwnd) {
    if (!IsWindow(hwnd)) return nullptr;
    if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) return hwnd;
    HWND current = hwnd;
    for (;;) {
        const HWND parent = GetParent(current);
        if (!parent) break;
        const LONG style = GetWindowLongW(parent, GWL_STYLE);
        if (!(style & WS_VISIBLE)) break;
        current = parent;
        if (!(style & WS_CHILD)) break;
    }
    return current;
}

bool pubfunc::changeUIPIMessageFilter(unsigned long message, bool add) {
    typedef BOOL(WINAPI * Filter)(UINT, DWORD);
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    if (!user32) return false;
    const Filter filter = reinterpret_cast<Filter>(
        reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
    const bool ok = filter && filter(UINT(message), add ? kMsgFilterAdd : kMsgFilterRemove);
    FreeLibrary(user32);
    return ok;
}

// A url that begins with '-' is refused: no url does, and a browser would take it
// for an option.
bool pubfunc::openUrl(const wstring16& url) {
    if (url.empty() || url[0] == L'-') return false;
    wchar_t* copy = new wchar_t[url.size() + 1];
    std::memcpy(copy, url.c_str(), (url.size() + 1) * sizeof(wchar_t));
    const uintptr_t thread =
        _beginthreadex(nullptr, 0, openUrlWorker, copy, CREATE_SUSPENDED, nullptr);
    if (!thread) {
        delete[] copy;
        return false;
    }
    ResumeThread(reinterpret_cast<HANDLE>(thread));
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

int pubfunc::DebugPrivilege(wchar16* name, int enable) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), kTokenAccess, &token)) return 0;
    Handle closer{token};
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid);
    AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    return GetLastError() == ERROR_SUCCESS ? 1 : 0;
}
