// The thread switch's transport elsewhere: a source on the home thread's
// thread-default GLib main context. The source is ready while the switch's queue
// holds events (read under the switch's lock); posting threads only wake the
// context, so GLib carries no data between threads.
#include "events/switchthread_internal.h"

#include <glib.h>

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

gboolean dispatch(GSource* source, GSourceFunc, gpointer) {
    reinterpret_cast<SwitchSource*>(source)->owner->deliver();
    return G_SOURCE_CONTINUE; // a switch released during delivery destroyed the source
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
    w.previous = context; // our reference
    w.handle = source;    // our reference
}

void close(SwitchWindow& w) {
    if (!w.handle) return;
    GSource* source = static_cast<GSource*>(w.handle);
    g_source_destroy(source);
    g_source_unref(source);
    g_main_context_unref(static_cast<GMainContext*>(w.previous));
    w.handle = nullptr;
    w.previous = nullptr;
}

bool isOpen(const SwitchWindow& w) {
    return w.handle != nullptr;
}

bool wake(SwitchWindow& w) {
    g_main_context_wakeup(static_cast<GMainContext*>(w.previous));
    return true;
}

} // namespace switchwin
} // namespace pf
