// The thread switch's transport elsewhere: a source on the home thread's
// thread-default GLib main context. The source is ready while the switch's queue
// holds events (read under the switch's lock); posting threads only wake the
// context, so GLib carries no data between threads.
#include "events/switchthread_internal.h"

#include <glib.h>

#include <new>

namespace {

struct SwitchSource {
    GSource base;
    CSwitchThread* owner;
};

bool queued(GSource* source) {
    SwitchWindow& w = *reinterpret_cast<SwitchSource*>(source)->owner->window;
    ZvCSLocker locker(&w.lock);
    return !w.queue.empty();
}

gboolean prepare(GSource* source, gint* timeout) {
    *timeout = -1;
    return queued(source);
}

gboolean check(GSource* source) {
    return queued(source);
}

// Delivers only what was queued on entry, so that threads that keep posting cannot
// hold the home thread's loop here.
gboolean dispatch(GSource* source, GSourceFunc, gpointer) {
    CSwitchThread* owner = reinterpret_cast<SwitchSource*>(source)->owner;
    SwitchWindow& w = *owner->window;
    size_t count;
    {
        ZvCSLocker locker(&w.lock);
        count = w.queue.size();
    }
    for (; count > 0; --count) {
        CSwitchEvent* event;
        {
            ZvCSLocker locker(&w.lock);
            if (w.queue.empty()) break;
            event = w.queue.front();
            w.queue.pop_front();
        }
        if (!owner->deliver(event)) break; // the switch is gone, and it destroyed the source
    }
    return G_SOURCE_CONTINUE;
}

GSourceFuncs s_funcs = {prepare, check, dispatch, nullptr, nullptr, nullptr};

} // namespace

namespace pf {
namespace switchwin {

void open(CSwitchThread* owner, SwitchWindow& w) {
    GSource* source = g_source_new(&s_funcs, sizeof(SwitchSource));
    reinterpret_cast<SwitchSource*>(source)->owner = owner;
    GMainContext* context = g_main_context_ref_thread_default();
    g_source_attach(source, context);
    w.oldProc = context; // our reference
    w.hwnd = source;     // our reference
}

void close(SwitchWindow& w) {
    if (w.hwnd) {
        GSource* source = static_cast<GSource*>(w.hwnd);
        g_source_destroy(source);
        g_source_unref(source);
        g_main_context_unref(static_cast<GMainContext*>(w.oldProc));
        w.hwnd = nullptr;
        w.oldProc = nullptr;
    }
    std::deque<CSwitchEvent*> left;
    {
        ZvCSLocker locker(&w.lock);
        left.swap(w.queue);
    }
    for (CSwitchEvent* e : left)
        e->release();
}

bool isOpen(const SwitchWindow& w) {
    return w.hwnd != nullptr;
}

bool post(SwitchWindow& w, CSwitchEvent* event) {
    {
        ZvCSLocker locker(&w.lock);
        try {
            w.queue.push_back(event);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    g_main_context_wakeup(static_cast<GMainContext*>(w.oldProc));
    return true;
}

} // namespace switchwin
} // namespace pf
