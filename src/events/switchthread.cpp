// CSwitchThread: events posted from any thread, delivered on the home thread.
//
// Events wait in the switch's own queue, under its own lock, in posting order; the
// platform's transport only wakes the home thread (one message on Windows, a
// context wake-up elsewhere), at most one wake-up at a time. So no event depends on
// the room in a system queue, every event is released exactly once (after its
// delivery, or at release of the switch when it was never delivered), and every
// hand-over between threads goes through the library's lock.
#include "events/switchthread_internal.h"

#include <new>

CSwitchThread::CSwitchThread() : window(new (std::nothrow) SwitchWindow) {
    if (window) pf::switchwin::open(this, *window);
}

CSwitchThread::~CSwitchThread() {
    if (!window) return;
    pf::switchwin::close(*window);
    for (DeliveryFrame* f = window->frames; f; f = f->outer)
        f->destroyed = true;
    std::deque<CSwitchEvent*> left;
    {
        ZvCSLocker locker(&window->lock);
        left.swap(window->queue);
    }
    for (CSwitchEvent* e : left)
        e->release();
    delete window;
}

void CSwitchThread::release() {
    delete this;
}

void CSwitchThread::postEvent(CSwitchEvent* event) {
    if (!event) return;
    if (!window || !pf::switchwin::isOpen(*window)) {
        event->release();
        return;
    }
    bool wake;
    {
        ZvCSLocker locker(&window->lock);
        try {
            window->queue.push_back(event);
        } catch (const std::bad_alloc&) {
            event->release();
            return;
        }
        wake = !window->wakePending;
        window->wakePending = true;
    }
    // A refused wake-up (a full system queue) leaves the events queued; the next
    // post tries again.
    if (wake && !pf::switchwin::wake(*window)) {
        ZvCSLocker locker(&window->lock);
        window->wakePending = false;
    }
}

// Delivers only what was queued on entry, so that threads that keep posting cannot
// hold the home thread's loop here.
bool CSwitchThread::deliver() {
    DeliveryFrame frame{false, window->frames};
    window->frames = &frame;
    size_t count;
    {
        ZvCSLocker locker(&window->lock);
        window->wakePending = false;
        count = window->queue.size();
    }
    for (; count > 0; --count) {
        CSwitchEvent* event;
        {
            ZvCSLocker locker(&window->lock);
            if (window->queue.empty()) break;
            event = window->queue.front();
            window->queue.pop_front();
        }
        eventSignal.emit(event);
        event->release();
        if (frame.destroyed) return false;
    }
    window->frames = frame.outer;
    return true;
}

ISwitchThread* getSwitchThread() {
    CSwitchThread* s = new (std::nothrow) CSwitchThread;
    if (s && !s->window) {
        delete s;
        return nullptr;
    }
    return s;
}
