// The recursive lock of the POSIX build, made to behave as a critical section does
// under contention: a thread that finds the lock held spins briefly, since the
// holder of a pool or logger lock leaves it within a few hundred nanoseconds, and
// only then sleeps in the kernel.
//
// The record holds a state word (0 free, 1 held, 2 held with sleepers possible),
// the owner's tag and the recursion count. The word is taken with one atomic
// exchange or compare-exchange; a thread that leaves a word it found at 2 wakes one
// sleeper. Sleeping is a futex wait on the word where the system has futexes, and
// a yield elsewhere. The owner field is only ever equal to a thread's own tag while
// that thread holds the lock, so reading it without the lock is safe.
#include "platform/platform.h"

#include <atomic>
#include <cstdint>
#include <new>

#include <pthread.h>

#if defined(__linux__)
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>
#else
#include <sched.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

constexpr int kSpins = 100; // about a microsecond of pause instructions

struct Lock {
    std::atomic<uint32_t> state;
    uint32_t recursion; // touched by the owner only
    std::atomic<uintptr_t> owner;
};
static_assert(sizeof(Lock) <= pf::platform::kLockRecordSize, "the lock fits its record");
static_assert(alignof(Lock) <= 8, "the lock record is 8-byte aligned");

Lock* lockOf(void* record) {
    return std::launder(static_cast<Lock*>(record));
}

// A value that no other live thread has, and never 0: the thread pointer where the
// compiler can read it from its register (on glibc it is pthread_self()'s value),
// pthread_self() elsewhere.
uintptr_t selfTag() {
#if defined(__x86_64__) && defined(__GLIBC__)
    return reinterpret_cast<uintptr_t>(__builtin_thread_pointer());
#else
    return (uintptr_t)pthread_self();
#endif
}

void pause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

void sleepWhile(std::atomic<uint32_t>& word, uint32_t value) {
#if defined(__linux__)
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, value, nullptr,
            nullptr, 0);
#else
    (void)word, (void)value;
    sched_yield();
#endif
}

void wakeOne(std::atomic<uint32_t>& word) {
#if defined(__linux__)
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr,
            0);
#else
    (void)word;
#endif
}

// Takes the word for the calling thread: spins while it is held, then marks it as
// having sleepers and sleeps until an exchange finds it free.
void acquire(std::atomic<uint32_t>& state) {
    uint32_t seen = 0;
    if (state.compare_exchange_strong(seen, 1, std::memory_order_acquire)) return;
    for (int i = 0; i < kSpins; ++i) {
        pause();
        seen = state.load(std::memory_order_relaxed);
        if (seen == 0 && state.compare_exchange_weak(seen, 1, std::memory_order_acquire)) return;
    }
    while (state.exchange(2, std::memory_order_acquire) != 0)
        sleepWhile(state, 2);
}

} // namespace

namespace pf {
namespace platform {

void lockInit(void* record) {
    new (record) Lock{{0}, 0, {0}};
}
void lockDestroy(void* record) {
    lockOf(record)->~Lock();
}

void lockEnter(void* record) {
    Lock* l = lockOf(record);
    const uintptr_t self = selfTag();
    if (l->owner.load(std::memory_order_relaxed) != self) {
        acquire(l->state);
        l->owner.store(self, std::memory_order_relaxed);
    }
    ++l->recursion;
}

void lockLeave(void* record) {
    Lock* l = lockOf(record);
    if (--l->recursion != 0) return;
    l->owner.store(0, std::memory_order_relaxed);
    if (l->state.exchange(0, std::memory_order_release) == 2) wakeOne(l->state);
}

bool lockTry(void* record) {
    Lock* l = lockOf(record);
    const uintptr_t self = selfTag();
    if (l->owner.load(std::memory_order_relaxed) != self) {
        uint32_t seen = 0;
        if (!l->state.compare_exchange_strong(seen, 1, std::memory_order_acquire)) return false;
        l->owner.store(self, std::memory_order_relaxed);
    }
    ++l->recursion;
    return true;
}

} // namespace platform
} // namespace pf
