// CWinTimer and CSingleTimer: thread timers, routed to their objects through one
// process-wide table.
//
// The table holds (identifier, object) pairs in registration order, at most one
// per identifier, behind one lock; a tick looks its object up under the lock and
// calls it after releasing it, so OnTimer may set and kill timers. The lock and
// the table are made at library load and torn down at unload (core/libframe.cpp);
// outside that span every call finds no table and does nothing.
#include <pubfunc/wintimer.h>

#include "events/threadtimer.h"
#include "events/wintimer_internal.h"
#include "platform/platform.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

namespace {

using Table = std::vector<std::pair<UINT_PTR, ITimerFunc*>>;

alignas(8) unsigned char timerTableLock[pf::platform::kLockRecordSize];
bool timerTableLockReady = false;
alignas(Table) unsigned char timerTableStorage[sizeof(Table)];
Table* timerTable = nullptr; // under timerTableLock

// Holds the table's lock for one scope; false (and no lock) before load or after
// unload.
class TableLock {
public:
    TableLock() : held(timerTableLockReady) {
        if (held) pf::platform::lockEnter(timerTableLock);
    }
    ~TableLock() {
        if (held) pf::platform::lockLeave(timerTableLock);
    }
    explicit operator bool() const { return held && timerTable; }

private:
    bool held;
};

Table::iterator find(UINT_PTR id) {
    return std::find_if(timerTable->begin(), timerTable->end(),
                        [id](const Table::value_type& e) { return e.first == id; });
}

// The system's timer procedure for every CWinTimer timer, on the thread that set it.
void CALLBACK winTimerProc(HWND, UINT, UINT_PTR timerId, DWORD) {
    ITimerFunc* func = nullptr;
    {
        TableLock lock;
        if (!lock) return;
        auto it = find(timerId);
        if (it != timerTable->end()) func = it->second;
    }
    if (func) func->OnTimer(timerId);
}

} // namespace

namespace pf {
namespace wintimer {

void createLock() {
    platform::lockInit(timerTableLock);
    timerTableLockReady = true;
}
void destroyLock() {
    timerTableLockReady = false;
    platform::lockDestroy(timerTableLock);
}
void createTable() {
    TableLock lock;
    timerTable = new (timerTableStorage) Table;
}
void destroyTable() {
    TableLock lock;
    if (timerTable) timerTable->~Table();
    timerTable = nullptr;
}

int tableSize() {
    TableLock lock;
    return lock ? int(timerTable->size()) : 0;
}
UINT_PTR tableId(int i) {
    TableLock lock;
    return lock && i >= 0 && i < int(timerTable->size()) ? (*timerTable)[i].first : 0;
}

} // namespace wintimer
} // namespace pf

// A timer whose registration fails for want of memory is killed again, so that
// no tick goes unrouted.
UINT_PTR CWinTimer::SetTimer(unsigned int elapseMs, ITimerFunc* func) {
    TableLock lock;
    if (!lock) return 0;
    const UINT_PTR id = pf::threadtimer::set(elapseMs, winTimerProc);
    if (id == 0) return 0;
    auto it = find(id);
    try {
        if (it != timerTable->end())
            it->second = func;
        else
            timerTable->emplace_back(id, func);
    } catch (const std::bad_alloc&) {
        pf::threadtimer::kill(id);
        return 0;
    }
    return id;
}

void CWinTimer::KillTimer(UINT_PTR timerId) {
    if (timerId == 0) return;
    pf::threadtimer::kill(timerId);
    TableLock lock;
    if (!lock) return;
    auto it = find(timerId);
    if (it != timerTable->end()) timerTable->erase(it);
}

UINT_PTR CSingleTimer::SetTimer(unsigned int elapseMs, TIMERPROC proc) {
    return pf::threadtimer::set(elapseMs, proc);
}

void CSingleTimer::KillTimer(UINT_PTR timerId) {
    pf::threadtimer::kill(timerId);
}
