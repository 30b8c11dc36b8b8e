// Process times, processor count and the machine-load query on Windows.
#include "sys/cpuusage_internal.h"

#include <pubfunc/dllhelper.h>

#include <new>
#include <pdh.h>

namespace pf {
namespace cpu {

namespace {

unsigned long long join(const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

constexpr DWORD kAdjustPrivileges = 0x20;
constexpr DWORD kQueryInformation = 0x400;
constexpr DWORD kFormatLong = 0x100;

} // namespace

bool setDebugPrivilege(bool enable) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), kAdjustPrivileges, &token)) return false;
    TOKEN_PRIVILEGES privileges = {};
    bool done = LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid);
    if (done) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        done =
            AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
    }
    CloseHandle(token);
    return done;
}

HANDLE openProcess(unsigned long pid) {
    return OpenProcess(kQueryInformation, FALSE, pid);
}

HANDLE duplicateProcess(HANDLE process) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

void closeProcess(HANDLE process) {
    CloseHandle(process);
}

bool processTimes(HANDLE process, unsigned long long& kernel, unsigned long long& user) {
    FILETIME created, exited, kernelTime, userTime;
    if (!GetProcessTimes(process, &created, &exited, &kernelTime, &userTime)) return false;
    kernel = join(kernelTime);
    user = join(userTime);
    return true;
}

unsigned long long systemTime() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return join(now);
}

unsigned int processorCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

unsigned long lastError() {
    return GetLastError();
}

// The six entries of the performance-data library, each null when missing.
struct LoadQuery {
    CDLLHelper library;
    decltype(&PdhOpenQueryW) openQuery = nullptr;
    decltype(&PdhAddCounterW) addCounter = nullptr;
    decltype(&PdhCollectQueryData) collect = nullptr;
    decltype(&PdhCloseQuery) closeQuery = nullptr;
    decltype(&PdhGetFormattedCounterValue) formattedValue = nullptr;
    decltype(&PdhRemoveCounter) removeCounter = nullptr;
    bool opened = false;
    PDH_HQUERY query = nullptr;
    PDH_HCOUNTER counter = nullptr;
};

// The system folder's copy, by full path: a bare name would let a "pdh.dll" in
// the current folder be loaded in its place.
wstring16 defaultLoadSource() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return wstring16();
    return wstring16(folder, length) + L"\\pdh.dll";
}

namespace {
template <class F> void entry(const CDLLHelper& library, F& out, const char* name) {
    out = reinterpret_cast<F>(reinterpret_cast<void*>(library.GetProcAddress(name)));
}
} // namespace

LoadQuery* createLoadQuery(const wstring16& source) {
    LoadQuery* q = new (std::nothrow) LoadQuery;
    if (!q || source.empty() || !q->library.LoadDll(source)) return q;
    entry(q->library, q->openQuery, "PdhOpenQueryW");
    entry(q->library, q->addCounter, "PdhAddCounterW");
    entry(q->library, q->collect, "PdhCollectQueryData");
    entry(q->library, q->closeQuery, "PdhCloseQuery");
    entry(q->library, q->formattedValue, "PdhGetFormattedCounterValue");
    entry(q->library, q->removeCounter, "PdhRemoveCounter");
    return q;
}

int queryLoad(LoadQuery* q) {
    if (!q->openQuery || !q->addCounter || !q->collect || !q->closeQuery || !q->formattedValue)
        return -1;
    if (!q->opened) {
        q->opened = true;
        if (q->openQuery(nullptr, 1, &q->query) != ERROR_SUCCESS) {
            q->query = nullptr;
            return 0;
        }
        if (q->addCounter(q->query, L"\\Processor(_Total)\\% Processor Time", 1, &q->counter) !=
            ERROR_SUCCESS) {
            q->counter = nullptr;
            return -1;
        }
    }
    if (!q->query || !q->counter) return -1;
    if (q->collect(q->query) != ERROR_SUCCESS) return -1;
    PDH_FMT_COUNTERVALUE value = {};
    if (q->formattedValue(q->counter, kFormatLong, nullptr, &value) != ERROR_SUCCESS ||
        value.CStatus != 0)
        return -1;
    return int(value.longValue + 0.5);
}

void destroyLoadQuery(LoadQuery* q) {
    if (!q) return;
    if (q->query && q->closeQuery && q->removeCounter) {
        if (q->counter) q->removeCounter(q->counter);
        q->closeQuery(q->query);
    }
    delete q;
}

} // namespace cpu
} // namespace pf
