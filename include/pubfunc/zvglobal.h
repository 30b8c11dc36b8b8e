// Allocation front, atomic counter, recursive lock, event ids and float comparison.
#pragma once

#include <pubfunc/export.h>

#include <atomic>
#include <cstddef>

// The allocation front goes straight to the C runtime's heap; results are passed
// through unchanged (null on failure). Shared string and byte-array records use it.
PUBFUNC_API void* zvMalloc(size_t size);
PUBFUNC_API void* zvRealloc(void* p, size_t size);
PUBFUNC_API void zvFree(void* p);

// A signed 32-bit counter. ref and deref are locked, sequentially consistent
// read-modify-writes; construction and assignment are plain accesses. A read is an
// acquire load (a plain load on x86): a holder that sees the count at 1 and then
// writes the shared record in place also sees every other owner's last read of it
// finished, which their deref published.
class ZvAtomicInt {
public:
    // constexpr, so that static records holding a counter are constant-initialised.
    constexpr ZvAtomicInt() : _value(0) {}
    constexpr ZvAtomicInt(int v) : _value(v) {}
    ZvAtomicInt(const ZvAtomicInt& o) : _value(int(o)) {}

    // True when the incremented value is not 0.
    bool ref() { return _value.fetch_add(1, std::memory_order_seq_cst) + 1 != 0; }
    // The decremented value (compare it with 0).
    int deref() { return _value.fetch_sub(1, std::memory_order_seq_cst) - 1; }

    operator int() const { return _value.load(std::memory_order_acquire); }
    bool operator!=(int v) const { return int(*this) != v; }
    ZvAtomicInt& operator=(const ZvAtomicInt& o) {
        _value.store(int(o), std::memory_order_relaxed);
        return *this;
    }

private:
    std::atomic<int> _value;
};
static_assert(sizeof(ZvAtomicInt) == 4, "ZvAtomicInt is one 32-bit integer");

// A recursive lock over the platform's critical-section record, held by value as
// the only member (40 bytes on both 64-bit targets, so the class has one layout).
// Every lock operation is const, so a lock can be taken through a const reference.
// Assignment copies the record as the platform's record would be copied: assign
// only to a lock that nobody holds.
class PUBFUNC_API ZvCriticalSection {
public:
    ZvCriticalSection();
    ~ZvCriticalSection();

    void lock() const;
    void unlock() const;
    bool tryLock() const; // true when the lock was taken

private:
    alignas(8) mutable unsigned char _record[40];
};

// Takes the lock at construction (cs must not be null) and leaves it at destruction.
class PUBFUNC_API ZvCSLocker {
public:
    ZvCSLocker(const ZvCriticalSection* cs);
    ~ZvCSLocker();

private:
    const ZvCriticalSection* _cs;
};

// The next process-wide event id: 1, 2, 3, ... up to 2^63 + 1, then 1 again; never 0.
// Safe to call from many threads at once: each call gets a distinct id.
PUBFUNC_API unsigned long long genEventId();

// True when a and b differ by less than 0.0001 (difference taken in single
// precision); false for a NaN difference.
PUBFUNC_API bool isEqualValue(float a, float b);
