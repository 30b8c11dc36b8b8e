// Core types: shared UTF-16 strings and bytes, the atomic counter, the lock, the pool.
#include <pubfunc/mempool.h>
#include <pubfunc/zvbytearray.h>
#include <pubfunc/zvglobal.h>
#include <pubfunc/zvstring.h>

#include <cstring>

int main() {
    ZvString title = ZvString::fromUtf8("Caf\xc3\xa9 live"); // UTF-16 inside
    ZvString copy = title;            // shares the text until one side writes
    copy.append(W16(" #1"));          // copy detaches; title is unchanged
    ZvByteArray utf8 = copy.toUtf8(); // "Café live #1", 0-terminated

    ZvAtomicInt viewers;
    viewers.ref();          // atomic increment from any thread
    ZvCriticalSection lock; // recursive
    {
        ZvCSLocker hold(&lock);
        viewers.ref();
    }

    char* block = static_cast<char*>(mp_alloc(48)); // guarded small block
    std::strcpy(block, utf8.constData());
    const bool ok = title.length() == 9 && copy.indexOf(W16("#1")) == 10 && utf8.size() == 13 &&
                    mp_size(block) == 48 && viewers == 2;
    mp_free(block); // a second mp_free(block) is reported
    return ok ? 0 : 1;
}
