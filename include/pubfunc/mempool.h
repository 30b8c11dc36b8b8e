// The guarded memory pool: small blocks (1 to 256 bytes) with corruption and
// double-free detection, and the standard allocator behind it for everything else.
#pragma once

#include <pubfunc/export.h>

#include <cstddef>

// Switches the pool on or off (it is on when the library loads) and creates it if
// it does not exist yet. While it is off, the other four functions go straight to
// the standard allocator without looking at the pointer: blocks handed out by the
// pool must not be passed to mp_free, mp_size or mp_realloc until it is on again.
// The pool and its free blocks survive switching.
PUBFUNC_API void mp_enable(bool on);

// A block of at least n bytes (0 counts as 1). Requests of 1 to 256 bytes come
// from the pool; larger ones, and small ones once the pool cannot grow, come from
// malloc. Pool payloads are 4-byte aligned only: 8-byte alignment holds for every
// second block, not for all.
PUBFUNC_API void* mp_alloc(size_t n);

// Returns a block to the pool, or to the standard allocator when it is not a pool
// block. Null does nothing. Faults are reported (see mp_set_report_hook), and then:
// a pool block freed twice is left as it is; a block with an overwritten guard word
// is freed; a pointer into the pool that is not a block's start is left alone.
PUBFUNC_API void mp_free(void* p);

// The usable size: the block size of the pool block's class (8, 16, 24, 32, 48,
// 64, 80, 96, 128, 160, 192, 224 or 256), the standard allocator's usable size for
// its blocks, 0 for null and for a pointer into the pool that is not a block's
// start (that one is also reported).
PUBFUNC_API int mp_size(const void* p);

// p resized to n bytes. Null p is mp_alloc(n). A pool block keeps its address for
// any n up to its block size; above that the contents move to a new block and the
// old one is freed. Blocks of the standard allocator go to realloc (so n = 0 frees
// them and returns null). Null is returned with p untouched when no new block can
// be had, and for a pointer into the pool that is not a block's start (reported).
PUBFUNC_API void* mp_realloc(void* p, size_t n);

// Where fault reports go. By default a report is shown as a message box with the
// caption "mem pool error dectect!" (standard error elsewhere than Windows); a hook
// receives the formatted message instead, for instance to route it to a log. In
// both cases the process then stops in the debugger if one is attached, and goes
// on otherwise. The hook runs on the faulting thread with the pool's lock held:
// other threads that use the pool wait for it. Null restores the default.
PUBFUNC_API void mp_set_report_hook(void (*hook)(const wchar16* message));
