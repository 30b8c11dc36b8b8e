// The window timers' process-wide lock and table, set up and torn down by the
// library frame (core/libframe.cpp) in its load order.
#pragma once

#include <pubfunc/export.h>

#if defined(_WIN32)
#include <windows.h>
#endif

class ITimerFunc;

namespace pf {
namespace wintimer {

void createLock();
void destroyLock();
void createTable();
void destroyTable();

// The table's identifiers in order, for tests; empty when there is no table.
int tableSize();
UINT_PTR tableId(int i);

} // namespace wintimer
} // namespace pf
