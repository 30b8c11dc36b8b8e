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
    // The transport: the message window (HWND) and its previous window procedure
    // on Windows; the GLib source and its context elsewhere. Null when it could not
    // be set up.
    void* handle = nullptr;
    void* previous = nullptr;

    ZvCriticalSection lock;
    std::deque<CSwitchEvent*> queue; // under lock
    bool wakePending = false;        // under lock: a wake-up is on its way
    DeliveryFrame* frames = nullptr; // home thread only
};

namespace pf {
namespace switchwin {

// The switch's transport, on the home thread; sets w.handle when it succeeds.
void open(CSwitchThread* owner, SwitchWindow& w);
void close(SwitchWindow& w);
// Whether the transport exists (any thread).
bool isOpen(const SwitchWindow& w);
// Makes the home thread call owner->deliver() soon (any thread); false when the
// platform refused.
bool wake(SwitchWindow& w);

} // namespace switchwin
} // namespace pf
