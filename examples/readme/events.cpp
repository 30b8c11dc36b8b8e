// Events and threads: a multimedia timer ticks on its own thread; each tick travels
// through the thread switch to the home thread, which runs its event loop.
#include <pubfunc/multimediatimer.h>
#include <pubfunc/switchthread.h>

#include <atomic>
#if defined(_WIN32)
#include <windows.h>
#else
#include <glib.h>
#endif

struct Tick : CSwitchEvent {
    int number;
    explicit Tick(int n) : number(n) {}
};

struct Pipeline : sigslot::has_slots {
    ISwitchThread* sw = nullptr;
    int ticks = 0;                                      // timer thread only
    std::atomic<int> delivered{0};                      // home thread writes, anyone reads
    void onTick() { sw->postEvent(new Tick(++ticks)); } // timer thread
    void onEvent(CSwitchEvent* e) {                     // home thread
        delivered = static_cast<Tick*>(e)->number;      // e is released after
    }
};

int main() {
    Pipeline pipeline;
    pipeline.sw = getSwitchThread(); // this thread becomes the home thread
    pipeline.sw->eventSignal.connect(&pipeline, &Pipeline::onEvent);
    IMultimediaTimer* timer = getMultimediaTimer();
    timer->timerSignal.connect(&pipeline, &Pipeline::onTick);
    timer->start(10); // every 10 ms
#if defined(_WIN32)
    MSG msg;
    while (pipeline.delivered < 20 && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
#else
    GMainContext* context = g_main_context_ref_thread_default();
    while (pipeline.delivered < 20)
        g_main_context_iteration(context, TRUE); // or run a GMainLoop
    g_main_context_unref(context);
#endif
    timer->release();       // no tick starts after this returns
    pipeline.sw->release(); // on the home thread; queued events are released
    return 0;
}
