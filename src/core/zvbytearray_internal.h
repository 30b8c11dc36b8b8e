// White-box access to ZvByteArray: its records and grow().
#pragma once

#include <pubfunc/zvbytearray.h>

struct ZvByteArrayProbe {
    using Data = ZvByteArray::Data;
    static Data* record(const ZvByteArray& a) { return a.d; }
    static Data* sharedEmpty() { return ZvByteArray("").d; } // the static empty record
    static int grow(int n) { return ZvByteArray::grow(n); }
    // An array over a record made by the caller with zvMalloc; it frees it.
    static ZvByteArray adopt(Data* x) { return ZvByteArray(x); }
};
