// Uses a few exports through the installed package; exits 0 when they behave.
#include <pubfunc/all.h>

#include <cstdio>

int main() {
    ZvCriticalSection cs;
    ZvCSLocker outer(&cs);
    ZvCSLocker inner(&cs);
    const bool ok = genEventId() == 1 && isEqualValue(1.0f, 1.00005f) && cs.tryLock();
    cs.unlock();
    std::printf("consumer: %s\n", ok ? "ok" : "failed");
    return ok ? 0 : 1;
}
