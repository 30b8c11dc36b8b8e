// Thread timers elsewhere: timeout sources on the calling thread's thread-default
// GLib main context. They tick only while that context is iterated, as a Windows
// thread timer ticks only while its thread dispatches messages.
//
// The library keeps its own table of timers (identifier, source, procedure) under
// its own lock, and a source carries nothing but its identifier: a tick looks its
// procedure up under that lock. So timers may be killed from any thread, and every
// hand-over of the library's data between threads goes through a lock that thread
// checkers can see (GLib's own locks are invisible to them).
#include "events/threadtimer.h"

#include "core/libframe.h"
#include "platform/platform.h"

#include <glib.h>

#include <atomic>
#include <map>
#include <mutex>
#include <new>

namespace {

constexpr UINT kWmTimer = 0x0113;

struct Entry {
    GSource* source; // one reference of ours
    TIMERPROC proc;
};

std::mutex s_lock;                   // constant-initialised, trivially destroyed
std::map<UINT_PTR, Entry>* s_timers; // under s_lock; created with the first timer
UINT_PTR s_lastId = 0;               // under s_lock

void destroySource(GSource* source) {
    g_source_destroy(source);
    g_source_unref(source);
}

// At unload: sources still attached would call into a library that is gone.
void teardown() {
    std::map<UINT_PTR, Entry>* timers;
    {
        std::lock_guard<std::mutex> guard(s_lock);
        timers = s_timers;
        s_timers = nullptr;
    }
    if (!timers) return;
    for (auto& t : *timers)
        destroySource(t.second.source);
    delete timers;
}

gboolean onTick(gpointer data) {
    const UINT_PTR id = GPOINTER_TO_SIZE(data);
    TIMERPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> guard(s_lock);
        if (s_timers) {
            auto it = s_timers->find(id);
            if (it != s_timers->end()) proc = it->second.proc;
        }
    }
    if (!proc) return G_SOURCE_REMOVE; // killed on another thread
    proc(nullptr, kWmTimer, id, DWORD(pf::platform::tickCount()));
    return G_SOURCE_CONTINUE;
}

} // namespace

namespace pf {
namespace threadtimer {

// The source is attached under the table's lock, so a kill from another thread
// finds either nothing or an attached source.
UINT_PTR set(unsigned int elapseMs, TIMERPROC proc) {
    if (!proc) return 0;
    std::lock_guard<std::mutex> guard(s_lock);
    if (!s_timers) {
        s_timers = new (std::nothrow) std::map<UINT_PTR, Entry>;
        if (!s_timers) return 0;
        frame::atUnload("thread timers", teardown);
    }
    do
        ++s_lastId;
    while (s_lastId == 0 || s_timers->count(s_lastId));
    const UINT_PTR id = s_lastId;
    GSource* source = g_timeout_source_new(elapseMs < kMinimumMs ? kMinimumMs : elapseMs);
    g_source_set_callback(source, onTick, GSIZE_TO_POINTER(id), nullptr);
    try {
        s_timers->emplace(id, Entry{source, proc});
    } catch (const std::bad_alloc&) {
        g_source_unref(source);
        return 0;
    }
    GMainContext* context = g_main_context_ref_thread_default();
    g_source_attach(source, context);
    g_main_context_unref(context);
    return id;
}

void kill(UINT_PTR id) {
    GSource* source = nullptr;
    {
        std::lock_guard<std::mutex> guard(s_lock);
        if (!s_timers) return;
        auto it = s_timers->find(id);
        if (it == s_timers->end()) return;
        source = it->second.source;
        s_timers->erase(it);
    }
    destroySource(source);
}

} // namespace threadtimer
} // namespace pf
