// The thread switch's state and its platform transport (switchthread_win.cpp,
// switchthread_posix.cpp).
#pragma once

#include <pubfunc/switchthread.h>
#include <pubfunc/zvglobal.h>

#include <deque>

// One delivery in progress on the home thread; releasing the switch marks every
// one of them, innermost to outermost, so that none touches the switch again.
struct DeliveryFrame {
    bool destroyed;
    DeliveryFrame* outer;
};

struct SwitchWindow {
    // Windows: the message window and the window procedure it had before the
    // switch took it over. Elsewhere: the GLib source and its context. hwnd is null
    // when the transport could not be set up.
    void* hwnd = nullptr;
    void* oldProc = nullptr;
    DeliveryFrame* frames = nullptr; // home thread only
#if !defined(_WIN32)
    // Events wait here in posting order until the context dispatches them; GLib
    // only wakes the context, so every hand-over goes through the library's lock.
    // (On Windows the home thread's message queue holds them.)
    ZvCriticalSection lock;
    std::deque<CSwitchEvent*> queue; // under lock
#endif
};

namespace pf {
namespace switchwin {

// The switch's transport, on the home thread; sets w.hwnd when it succeeds.
void open(CSwitchThread* owner, SwitchWindow& w);
// Ends the transport on the home thread and releases every event posted to it
// and not delivered, each once.
void close(SwitchWindow& w);
// Whether the transport exists (any thread).
bool isOpen(const SwitchWindow& w);
// Hands event to the home thread (any thread); false when the platform refused
// it, and the caller still owns it.
bool post(SwitchWindow& w, CSwitchEvent* event);

} // namespace switchwin
} // namespace pf
