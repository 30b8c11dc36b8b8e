// A periodic high-resolution tick that any number of receivers can follow.
//
// What the host must run: nothing. Ticks arrive on the process's one multimedia
// timer thread (the system's on Windows, the library's own elsewhere), not on
// the thread that started the timer; receivers must be safe to call there.
#pragma once

#include <pubfunc/export.h>
#include <pubfunc/sigslot.h>

#include <atomic>

class IMultimediaTimer {
public:
    // Emitted on every tick; connect receivers here.
    xsignals::signal<void()> timerSignal;

    virtual ~IMultimediaTimer() {}
    // Stops the timer and frees the object.
    virtual void release() = 0;
    // Starts ticking every periodMs milliseconds. A running timer keeps its period
    // and returns true; false when the system refuses the period (0, say), and the
    // timer stays stopped.
    virtual bool start(unsigned int periodMs) = 0;
    // Once stop returns, no receiver call starts, not even for a tick that was
    // already due; a tick in progress on the timer thread is waited for. Called
    // from a receiver of a tick, stop lets that tick's remaining receivers run.
    virtual void stop() = 0;
    virtual bool isRunning() = 0;
};

// The implementation behind getMultimediaTimer. start, stop, isRunning and
// release belong to the owning thread. All timers of the process share one lock
// that a tick holds while its receivers run, so starting, stopping or releasing
// any timer waits for a tick in progress: a receiver must not wait for a thread
// that does one of those.
class CMultimediaTimer : public IMultimediaTimer {
public:
    CMultimediaTimer();
    ~CMultimediaTimer() override;
    void release() override;
    bool start(unsigned int periodMs) override;
    void stop() override;
    bool isRunning() override;

    // The identifier of the running system timer, 0 while stopped.
    std::atomic<unsigned int> timerId;

    // The tick callback: emits timerSignal when timer is a live object whose
    // timerId is id; ignores every other call.
    static void onTick(unsigned int id, void* timer);
};

// A new, stopped timer on every call (null only when memory runs out); end it with
// release().
PUBFUNC_API IMultimediaTimer* getMultimediaTimer();
