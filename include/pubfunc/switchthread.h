// The thread switch: events posted from any thread are delivered on one home
// thread, the one that created the switch.
//
// What the host must run: on Windows, a message loop (GetMessage/DispatchMessage)
// on the home thread; elsewhere, the home thread's thread-default GLib main context
// (g_main_context_iteration or a GMainLoop). Events wait while it does not run.
#pragma once

#include <pubfunc/export.h>
#include <pubfunc/sigslot.h>

// The host's event type. The library only passes pointers to it and calls
// release() (the virtual operation after the destructor) once per event, on the
// home thread after delivery, or as stated at postEvent and at release of the switch.
class CSwitchEvent {
public:
    virtual ~CSwitchEvent() {}
    virtual void release() { delete this; }
};

class ISwitchThread {
public:
    // Emitted on the home thread with each event, in posting order per posting
    // thread; the event is released after the receivers have run.
    xsignals::signal<void(CSwitchEvent*)> eventSignal;

    virtual ~ISwitchThread() {}
    // Destroys the switch on its home thread. Events still queued are released
    // there, each exactly once, and delivered to nobody; so are the events not yet
    // delivered when a receiver releases the switch during a delivery.
    virtual void release() = 0;
    // Queues event for delivery; any thread, while the switch is live. A switch
    // whose transport could not be set up releases the event at once, on the
    // posting thread. A null event is ignored.
    virtual void postEvent(CSwitchEvent* event) = 0;
};

// The state behind a switch: the home thread's transport (a message-only window
// on Windows, a source on the home thread's GLib context elsewhere).
struct SwitchWindow;

// The implementation behind getSwitchThread.
class CSwitchThread : public ISwitchThread {
public:
    CSwitchThread();
    ~CSwitchThread() override;
    void release() override;
    void postEvent(CSwitchEvent* event) override;

    SwitchWindow* window; // owned

    // On the home thread: emits eventSignal with event, then releases it; returns
    // false when a receiver released the switch (the object is gone).
    bool deliver(CSwitchEvent* event);
};

// A new switch whose home thread is the calling thread (null only when memory runs
// out); end it with release() on that thread.
PUBFUNC_API ISwitchThread* getSwitchThread();
