// Runs the calling thread's event loop, as a host must for thread timers and the
// thread switch: messages on Windows, the thread-default GLib context elsewhere.
#pragma once

#include <chrono>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <glib.h>
#endif

// Dispatches events until done() holds or timeout passes (with done() false: for
// timeout); returns done().
template <class F> bool pumpUntil(F done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < end) {
#if defined(_WIN32)
        MSG msg;
        const bool any = PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
        if (any) DispatchMessageW(&msg);
#else
        const bool any = g_main_context_iteration(g_main_context_get_thread_default(), FALSE);
#endif
        if (!any) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}
