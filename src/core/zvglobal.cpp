// Allocation front, ZvCriticalSection and ZvCSLocker, event ids, float comparison.
#include <pubfunc/zvglobal.h>

#include "core/zvglobal_internal.h"
#include "platform/platform.h"

#include <cmath>
#include <cstdlib>

static_assert(pf::platform::kLockRecordSize == 40, "ZvCriticalSection holds a 40-byte record");

void* zvMalloc(size_t size) {
    return std::malloc(size);
}
void* zvRealloc(void* p, size_t size) {
    return std::realloc(p, size);
}
void zvFree(void* p) {
    std::free(p);
}

ZvCriticalSection::ZvCriticalSection() {
    pf::platform::lockInit(_record);
}
ZvCriticalSection::~ZvCriticalSection() {
    pf::platform::lockDestroy(_record);
}
void ZvCriticalSection::lock() const {
    pf::platform::lockEnter(_record);
}
void ZvCriticalSection::unlock() const {
    pf::platform::lockLeave(_record);
}
bool ZvCriticalSection::tryLock() const {
    return pf::platform::lockTry(_record);
}

ZvCSLocker::ZvCSLocker(const ZvCriticalSection* cs) : _cs(cs) {
    _cs->lock();
}
ZvCSLocker::~ZvCSLocker() {
    _cs->unlock();
}

namespace {
// 0 when the library loads. Atomic, so that concurrent callers get distinct ids.
std::atomic<unsigned long long> s_eventCounter{0};
constexpr unsigned long long kEventIdWrap = 1ULL << 63;
} // namespace

unsigned long long genEventId() {
    unsigned long long seen = s_eventCounter.load(std::memory_order_relaxed);
    unsigned long long next;
    do {
        // Past 2^63 the sequence starts again, so the largest id is 2^63 + 1.
        next = (seen > kEventIdWrap ? 0 : seen) + 1;
    } while (!s_eventCounter.compare_exchange_weak(seen, next, std::memory_order_relaxed));
    return next;
}

void pf::setEventCounter(unsigned long long value) {
    s_eventCounter.store(value);
}

bool isEqualValue(float a, float b) {
    const float diff = a - b; // single precision on purpose: 1.0f - 1.0001f is 1.00017e-4
    return 0.0001 > static_cast<double>(std::fabs(diff));
}
