// CMultimediaTimer: a periodic system timer that emits a signal on every tick.
//
// Stopping is exact: every tick tests, under one process-wide lock, that its
// object is still alive and still running the timer that ticked, and emits while
// holding that lock. stop clears the identifier under the same lock, so a tick
// either finished before stop took the lock or finds the identifier cleared; the
// destructor takes the object off the live list the same way, so a late tick
// never reaches a freed object. The system's timer is started and killed outside
// the lock: its own thread may be waiting for the lock inside a tick.
//
// All of a process's multimedia timers tick on one thread anyway, so one lock for
// all of them costs ticks nothing.
#include <pubfunc/multimediatimer.h>

#include "core/libframe.h"
#include "events/mmtimer.h"

#include <pubfunc/zvglobal.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>

namespace {

struct Registry {
    ZvCriticalSection lock;
    std::vector<CMultimediaTimer*> live; // under lock
};

std::atomic<Registry*> s_registry{nullptr};

// At unload: kill whatever timers the host left running, so that no tick calls
// into a library that is gone, then drop the registry.
void teardown() {
    Registry* r = s_registry.exchange(nullptr);
    if (!r) return;
    std::vector<unsigned int> ids;
    {
        ZvCSLocker locker(&r->lock);
        for (CMultimediaTimer* t : r->live)
            if (unsigned int id = t->timerId.exchange(0)) ids.push_back(id);
        r->live.clear();
    }
    for (unsigned int id : ids)
        pf::mmtimer::killEvent(id);
    delete r;
}

// Created with the first timer; null when memory has run out.
Registry* registry() {
    if (Registry* r = s_registry.load(std::memory_order_acquire)) return r;
    Registry* fresh = new (std::nothrow) Registry;
    if (!fresh) return nullptr;
    Registry* published = nullptr;
    if (!s_registry.compare_exchange_strong(published, fresh, std::memory_order_acq_rel)) {
        delete fresh;
        return published;
    }
    pf::frame::atUnload("multimedia timers", teardown);
    return fresh;
}

} // namespace

CMultimediaTimer::CMultimediaTimer() : timerId(0) {}

CMultimediaTimer::~CMultimediaTimer() {
    stop();
    if (Registry* r = s_registry.load(std::memory_order_acquire)) {
        ZvCSLocker locker(&r->lock);
        r->live.erase(std::remove(r->live.begin(), r->live.end(), this), r->live.end());
    }
}

void CMultimediaTimer::release() {
    delete this;
}

bool CMultimediaTimer::start(unsigned int periodMs) {
    if (timerId != 0) return true;
    const unsigned int id = pf::mmtimer::setEvent(periodMs, this);
    timerId = id; // a tick that comes before this store fails the identifier test
    return id != 0;
}

void CMultimediaTimer::stop() {
    Registry* r = s_registry.load(std::memory_order_acquire);
    if (!r || timerId == 0) return;
    unsigned int id;
    {
        ZvCSLocker locker(&r->lock);
        id = timerId.exchange(0);
    }
    if (id) pf::mmtimer::killEvent(id);
}

bool CMultimediaTimer::isRunning() {
    return timerId != 0;
}

void CMultimediaTimer::onTick(unsigned int id, void* timer) {
    Registry* r = s_registry.load(std::memory_order_acquire);
    if (!r || !timer) return;
    ZvCSLocker locker(&r->lock);
    const auto& live = r->live;
    CMultimediaTimer* t = static_cast<CMultimediaTimer*>(timer);
    if (std::find(live.begin(), live.end(), t) == live.end() || t->timerId != id) return;
    t->timerSignal.emit();
}

IMultimediaTimer* getMultimediaTimer() {
    Registry* r = registry();
    CMultimediaTimer* t = r ? new (std::nothrow) CMultimediaTimer : nullptr;
    if (!t) return nullptr;
    ZvCSLocker locker(&r->lock);
    try {
        r->live.push_back(t);
    } catch (const std::bad_alloc&) {
        delete t;
        return nullptr;
    }
    return t;
}
