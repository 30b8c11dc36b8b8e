// Library frame: the one place that lists what happens when the library loads and
// unloads.
//
// Rule for every subsystem: no translation unit other than this one owns a static
// object whose construction or destruction has an effect. Process-wide records
// that need no code to set up are constant-initialised where they are declared;
// everything else is a step in LibraryFrame's constructor below, in the order the
// library guarantees, and registers its clean-up with atUnload. Clean-ups run in
// reverse order at unload, so state created on first use goes first and the
// logger, registered first, goes last.
#include "core/libframe.h"
#include "diag/logger_internal.h"
#include "events/wintimer_internal.h"
#include "platform/platform.h"
#include "sys/cpuusage_internal.h"

#include <mutex>

namespace pf {
namespace frame {

namespace {
std::mutex& listLock() {
    static std::mutex m; // constexpr-constructed, never destroyed before use ends
    return m;
}
} // namespace

bool CleanupList::add(const char* name, CleanupFn fn) {
    std::lock_guard<std::mutex> guard(listLock());
    if (_ran || _count >= kCapacity || !fn) return false;
    _entries[_count++] = Entry{name, fn};
    return true;
}

void CleanupList::runAll(void (*trace)(const char* name)) {
    int n;
    {
        std::lock_guard<std::mutex> guard(listLock());
        if (_ran) return;
        _ran = true;
        n = _count;
    }
    for (int i = n - 1; i >= 0; --i) {
        if (trace) trace(_entries[i].name);
        _entries[i].fn();
    }
}

int CleanupList::count() const {
    std::lock_guard<std::mutex> guard(listLock());
    return _count;
}

const char* CleanupList::name(int i) const {
    std::lock_guard<std::mutex> guard(listLock());
    return i >= 0 && i < _count ? _entries[i].name : nullptr;
}

namespace {

CleanupList s_cleanups;
void (*s_trace)(const char*) = nullptr;

// The load sequence. Its constructor runs with the library's static initialisers;
// its destructor runs when the library unloads.
struct LibraryFrame {
    LibraryFrame() {
        // 1. The logger singleton; its clean-up is registered first, so it runs last
        //    and every other clean-up can still log.
        logger::create();
        atUnload("logger", logger::destroy);
        // 2. The byte array's shared_null and shared_empty records need no step: they
        //    are constant-initialised (core/zvbytearray.cpp), so they are in place
        //    before any initialiser of the library runs, and never destroyed.
        // 3. The process-wide CPU-usage object behind pubfunc::getCPUUsage.
        cpu::createGlobal();
        atUnload("cpu usage", cpu::destroyGlobal);
        // 4. The window timers' lock, then their table; at unload the table goes
        //    first, then the lock.
        wintimer::createLock();
        atUnload("window-timer lock", wintimer::destroyLock);
        wintimer::createTable();
        atUnload("window-timer table", wintimer::destroyTable);

        // Last, as the entry routine does: remember which module we are.
        platform::onLibraryLoaded();
    }
    ~LibraryFrame() { s_cleanups.runAll(s_trace); }
};

LibraryFrame s_frame;

} // namespace

bool atUnload(const char* name, CleanupFn fn) {
    return s_cleanups.add(name, fn);
}
const CleanupList& cleanups() {
    return s_cleanups;
}
void setUnloadTrace(void (*trace)(const char* name)) {
    s_trace = trace;
}

} // namespace frame
} // namespace pf
