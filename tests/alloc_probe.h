// The white-box test program's operator new, counted and able to fail on demand.
#pragma once

#include <atomic>

// Every allocation through any form of operator new adds one.
extern std::atomic<int> g_allocations;
// While above 0, each allocation counts it down; the one that reaches 0 fails
// (bad_alloc, or null from the nothrow forms). Set it while one thread allocates.
extern std::atomic<int> g_failAfter;
