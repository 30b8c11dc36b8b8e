// Thread timers: ticks on the thread that set the timer, from its event loop.
//
// What the host must run: on Windows, a message loop (GetMessage/DispatchMessage)
// on the thread that sets the timer; elsewhere, that thread's thread-default GLib
// main context (g_main_context_iteration or a GMainLoop). No ticks arrive while it
// does not run. An interval below 10 ms ticks every 10 ms on both builds.
#pragma once

#include <pubfunc/export.h>

#if defined(_WIN32)
#include <windows.h>
#endif

// Receives the ticks of a CWinTimer timer.
class ITimerFunc {
public:
    virtual void OnTimer(UINT_PTR timerId) = 0;
};

// Receives the ticks that a host forwards to CSingleTimer::OnTimer.
class ISingleTimerFunc {
public:
    virtual void OnTimer(UINT_PTR timerId) = 0;
};

// One watcher plus thin wrappers of the system calls; the host supplies its own
// timer procedure and forwards ticks to OnTimer.
class PUBFUNC_API CSingleTimer {
public:
    CSingleTimer() : watcher(nullptr) {}
    void watch(ISingleTimerFunc* w) { watcher = w; } // replaces an earlier watcher
    void revoke() { watcher = nullptr; }
    // A thread timer that calls proc; its identifier, 0 when refused. The object
    // records nothing.
    UINT_PTR SetTimer(unsigned int elapseMs, TIMERPROC proc);
    void KillTimer(UINT_PTR timerId);
    void OnTimer(UINT_PTR timerId) {
        if (watcher) watcher->OnTimer(timerId);
    }

private:
    ISingleTimerFunc* watcher; // not owned
};

// Routes the ticks of its timers to their ITimerFunc objects through one
// process-wide table. Callable from any thread; the table's lock is never held
// while OnTimer runs, so OnTimer may set and kill timers. An object must outlive
// its timer and must not be destroyed on another thread while its tick may run.
class PUBFUNC_API CWinTimer {
public:
    // A thread timer of the calling thread that calls func->OnTimer; its
    // identifier, or 0 (nothing registered) when refused.
    static UINT_PTR SetTimer(unsigned int elapseMs, ITimerFunc* func);
    // Kills the timer and unregisters it; 0 does nothing. An identifier that is
    // not registered is only passed on to the system.
    static void KillTimer(UINT_PTR timerId);
};
