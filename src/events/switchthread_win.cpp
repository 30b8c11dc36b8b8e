// The thread switch's transport on Windows: a message-only "STATIC" window of the
// home thread, subclassed with the switch procedure; each event travels as the
// long parameter of one message 0x401.
#include "events/switchthread_internal.h"

#include "platform/platform.h"

#include <windows.h>

namespace {

const UINT kSwitchMessage = WM_USER + 1; // 0x401

// On the home thread, from its message dispatch.
LRESULT CALLBACK switchProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* owner = reinterpret_cast<CSwitchThread*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!owner) return DefWindowProcW(hwnd, message, wParam, lParam);
    const WNDPROC oldProc = reinterpret_cast<WNDPROC>(owner->window->oldProc);
    if (message == kSwitchMessage && !owner->deliver(reinterpret_cast<CSwitchEvent*>(lParam)))
        return 0; // a receiver released the switch, and its window is gone
    return CallWindowProcW(oldProc, hwnd, message, wParam, lParam);
}

} // namespace

namespace pf {
namespace switchwin {

void open(CSwitchThread* owner, SwitchWindow& w) {
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                static_cast<HINSTANCE>(platform::moduleHandle()), nullptr);
    if (!hwnd) return;
    w.oldProc = reinterpret_cast<void*>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(switchProc)));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    w.hwnd = hwnd;
}

void close(SwitchWindow& w) {
    HWND hwnd = static_cast<HWND>(w.hwnd);
    if (hwnd && IsWindow(hwnd)) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        // Events posted and not yet dispatched wait in this thread's queue.
        MSG msg;
        while (PeekMessageW(&msg, hwnd, kSwitchMessage, kSwitchMessage, PM_REMOVE))
            reinterpret_cast<CSwitchEvent*>(msg.lParam)->release();
        DestroyWindow(hwnd);
    }
    w.hwnd = nullptr;
}

bool isOpen(const SwitchWindow& w) {
    return w.hwnd && IsWindow(static_cast<HWND>(w.hwnd));
}

bool post(SwitchWindow& w, CSwitchEvent* event) {
    return PostMessageW(static_cast<HWND>(w.hwnd), kSwitchMessage, 0,
                        reinterpret_cast<LPARAM>(event)) != FALSE;
}

} // namespace switchwin
} // namespace pf
