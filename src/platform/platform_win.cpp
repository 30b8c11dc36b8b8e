// Platform primitives for Windows: the Win32 calls behind the seam.
#include "platform/platform.h"

#include <windows.h>

static_assert(sizeof(CRITICAL_SECTION) <= pf::platform::kLockRecordSize,
              "the lock record holds a CRITICAL_SECTION");
static_assert(alignof(CRITICAL_SECTION) <= 8, "the lock record is 8-byte aligned");

namespace {
HMODULE s_module = nullptr;
CRITICAL_SECTION* cs(void* record) {
    return static_cast<CRITICAL_SECTION*>(record);
}
} // namespace

namespace pf {
namespace platform {

void lockInit(void* record) {
    InitializeCriticalSection(cs(record));
}
void lockDestroy(void* record) {
    DeleteCriticalSection(cs(record));
}
void lockEnter(void* record) {
    EnterCriticalSection(cs(record));
}
void lockLeave(void* record) {
    LeaveCriticalSection(cs(record));
}
bool lockTry(void* record) {
    return TryEnterCriticalSection(cs(record)) != FALSE;
}

void* moduleHandle() {
    return s_module;
}
void onLibraryLoaded() {} // DllMain is handed the module

unsigned long tickCount() {
    return GetTickCount();
}

} // namespace platform
} // namespace pf

// The entry routine stores the module handle for every reason code and accepts
// every load; all other set-up happens in the static initialisers before it.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
    s_module = instance;
    return TRUE;
}
