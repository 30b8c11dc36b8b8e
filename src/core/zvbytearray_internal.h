// White-box access to ZvByteArray: its records and grow().
#pragma once

#include <pubfunc/zvbytearray.h>

struct ZvByteArrayProbe {
    using Data = ZvByteArray::Data;
    static Data* record(const ZvByteArray& a) { return a.d; }
    // The static records, as the null and the empty array point at them.
    static Data* sharedNull() { return ZvByteArray().d; }
    static Data* sharedEmpty() { return ZvByteArray("").d; }
    static int grow(int n) { return ZvByteArray::grow(n); }
    // An array over a record made by the caller with zvMalloc; it frees it.
    static ZvByteArray adopt(Data* x) { return ZvByteArray(x); }
};
