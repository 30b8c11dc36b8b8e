// CSwitchThread: events posted from any thread, delivered on the home thread one
// at a time, each released exactly once: after its delivery, at once when it
// cannot be posted, or at release of the switch when it was never delivered.
#include "events/switchthread_internal.h"

#include <new>

CSwitchThread::CSwitchThread() : window(new (std::nothrow) SwitchWindow) {
    if (window) pf::switchwin::open(this, *window);
}

CSwitchThread::~CSwitchThread() {
    if (!window) return;
    for (DeliveryFrame* f = window->frames; f; f = f->outer)
        f->destroyed = true;
    pf::switchwin::close(*window);
    delete window;
}

void CSwitchThread::release() {
    delete this;
}

void CSwitchThread::postEvent(CSwitchEvent* event) {
    if (!event) return;
    if (!window || !pf::switchwin::isOpen(*window) || !pf::switchwin::post(*window, event))
        event->release();
}

bool CSwitchThread::deliver(CSwitchEvent* event) {
    DeliveryFrame frame{false, window->frames};
    window->frames = &frame;
    eventSignal.emit(event);
    event->release();
    if (frame.destroyed) return false;
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
