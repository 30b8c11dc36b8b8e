// The thread switch's transport on Windows: a message-only "STATIC" window of the
// home thread, subclassed with the switch procedure, woken by message 0x401.
#include "events/switchthread_internal.h"

#include "platform/platform.h"

#include <windows.h>

namespace {

const UINT kSwitchMessage = WM_USER + 1; // 0x401

// On the home thread, from its message dispatch.
LRESULT CALLBACK switchProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* owner = reinterpret_cast<CSwitchThread*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!owner) return DefWindowProcW(hwnd, message, wParam, lParam);
    const WNDPROC previous = reinterpret_cast<WNDPROC>(owner->window->previous);
    if (message == kSwitchMessage && !owner->deliver()) return 0; // the switch is gone
    return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

} // namespace

namespace pf {
namespace switchwin {

void open(CSwitchThread* owner, SwitchWindow& w) {
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                static_cast<HINSTANCE>(platform::moduleHandle()), nullptr);
    if (!hwnd) return;
    w.previous = reinterpret_cast<void*>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(switchProc)));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    w.handle = hwnd;
}

void close(SwitchWindow& w) {
    HWND hwnd = static_cast<HWND>(w.handle);
    if (hwnd && IsWindow(hwnd)) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
    }
    w.handle = nullptr;
}

bool isOpen(const SwitchWindow& w) {
    return w.handle && IsWindow(static_cast<HWND>(w.handle));
}

bool wake(SwitchWindow& w) {
    return PostMessageW(static_cast<HWND>(w.handle), kSwitchMessage, 0, 0) != FALSE;
}

} // namespace switchwin
} // namespace pf
