// ZvString: implicitly shared UTF-16 units with copy on write.
//
// The sharing scheme, which every member below follows:
// - A string points at one Data record, never at nothing. Copies point at the
//   same record and each holds one reference; the last one to let go frees it.
// - Only an owned record (one reference, data at its own array) is written in
//   place. Every change first goes through detach, reallocData, resize or expand,
//   which leave the string with an owned record big enough for the change.
// - The null and empty states are two static records, made on first use and
//   never freed: each keeps one reference of its own, so no string's release
//   brings its count to 0, and none of them is ever owned.
// - Capacity grows by grow(), so a run of appends reallocates rarely; an owned
//   record is resized in place with zvRealloc.
// - Sizes are checked against pf::string::kMaxSize before any arithmetic on them,
//   so an operation that would pass it leaves the string unchanged.
#include <pubfunc/zvstring.h>

#include "core/u16.h"
#include "core/zvstring_internal.h"
#include "platform/codepage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

typedef unsigned short unit;
using Data = ZvString::Data;
using pf::string::kMaxSize;

size_t recordBytes(int capacity) {
    return offsetof(Data, array) + (size_t(capacity) + 1) * sizeof(unit);
}

// A failed allocation ends the process: no member can report it, and every
// caller would go on to write through the null pointer.
void* checked(void* p) {
    if (!p) {
        std::fputs("pubfunc: out of memory in ZvString\n", stderr);
        std::abort();
    }
    return p;
}

// A heap record with one reference, room for capacity units and a terminator
// at size; the units before it are the caller's to fill.
Data* newRecord(int capacity, int size) {
    Data* x = static_cast<Data*>(checked(zvMalloc(recordBytes(capacity))));
    new (&x->ref) ZvAtomicInt(1);
    x->capacity = capacity;
    x->size = size;
    x->data = x->array;
    x->array[size] = 0;
    return x;
}

void copyUnits(unit* to, const unit* from, long long n) {
    if (n > 0) std::memmove(to, from, size_t(n) * sizeof(unit));
}

bool fits(long long n) {
    return n <= kMaxSize;
}

struct StaticRecord {
    Data d;
    StaticRecord() {
        d.ref = 1; // the record's own reference
        d.capacity = 0;
        d.size = 0;
        d.data = d.array;
        d.array[0] = 0;
    }
};

// Narrow text converted in one call: the conversion never yields more units than
// it reads bytes, so a record of len units always has room and no measuring pass
// is needed. A failed conversion leaves an empty record.
Data* narrowToRecord(unsigned codePage, const char* s, int len) {
    Data* x = newRecord(len, 0);
    const int n = len ? pf::platform::multiByteToWide(codePage, 0, s, len, x->array, len + 1) : 0;
    x->size = n;
    x->array[n] = 0;
    return x;
}

} // namespace

namespace pf {
namespace string {
// The bit of value g is cleared rather than rounded up to, so a request just
// past a step boundary is not rounded to the next multiple of the step: growth
// stays close to the request (grow(10) is 18, grow(16) is 48, grow(5000) 5000).
int grow(int n) {
    long long t = 2LL * n + 32;
    const long long g = t < 64 ? 16 : t < 4096 ? 64 : 4096;
    t = (t + g) & ~g;
    return int((t - 32) / 2);
}
} // namespace string
} // namespace pf

// --- records --------------------------------------------------------------

Data* ZvString::shared_null() {
    static StaticRecord s_null; // set up on first use, thread-safe
    return &s_null.d;
}
Data* ZvString::shared_empty() {
    static StaticRecord s_empty;
    return &s_empty.d;
}

int ZvString::grow(int n) {
    return pf::string::grow(n);
}

namespace {
void release(Data* x) {
    if (!x->ref.deref()) zvFree(x);
}
Data* takeRef(Data* x) {
    x->ref.ref();
    return x;
}
} // namespace

bool ZvString::owned() const {
    return d->ref == 1 && d->data == d->array;
}

void ZvString::reallocData(int alloc) {
    if (owned()) {
        d = static_cast<Data*>(checked(zvRealloc(d, recordBytes(alloc))));
        d->capacity = alloc;
        d->data = d->array;
        return;
    }
    Data* x = newRecord(alloc, std::min(alloc, d->size));
    copyUnits(x->array, d->data, x->size);
    release(d);
    d = x;
}

void ZvString::detach() {
    if (!owned()) reallocData();
}

void ZvString::resize(int n) {
    if (n <= 0) {
        Data* e = takeRef(shared_empty());
        release(d);
        d = e;
        return;
    }
    if (!fits(n)) return;
    if (!owned() || n > d->capacity) reallocData(grow(n));
    d->size = n;
    d->data[n] = 0;
}

// Makes position i writable: the size becomes at least i + 1, and the units
// between the old end and i (i itself excluded) become spaces. False, with
// nothing changed, when i + 1 would pass the largest size.
bool ZvString::expand(int i) {
    if (!fits(i + 1LL)) return false;
    const int old = d->size;
    resize(std::max(i + 1, old));
    for (int k = old; k < d->size - 1; ++k)
        d->data[k] = ' ';
    return true;
}

void ZvString::swap(ZvString& o) {
    std::swap(d, o.d);
}

Data* ZvString::fromUnicode_helper(const unit* s, int len) {
    if (!s) return takeRef(shared_null());
    if (len < 0) len = pf::u16::length(s);
    if (!fits(len)) return takeRef(shared_null());
    Data* x = newRecord(len, len);
    copyUnits(x->array, s, len);
    return x;
}

Data* ZvString::fromUtf8_helper(const char* s, int len) {
    if (!s) return takeRef(shared_null());
    const long long n = len < 0 ? (long long)std::strlen(s) : len;
    if (!fits(n)) return takeRef(shared_null());
    return narrowToRecord(pf::platform::kCodePageUtf8, s, int(n));
}

Data* ZvString::fromAscii_helper(const char* s, int len) {
    if (!s) return takeRef(shared_null());
    const long long n = len < 0 ? (long long)std::strlen(s) : len;
    if (!fits(n)) return takeRef(shared_null());
    return narrowToRecord(pf::platform::kCodePageAnsi, s, int(n));
}

// --- construction ---------------------------------------------------------

ZvString::ZvString() : d(takeRef(shared_null())) {}
ZvString::ZvString(const unit* s) : d(fromUnicode_helper(s, -1)) {}
ZvString::ZvString(const unit* s, int len) : d(fromUnicode_helper(s, len)) {}
ZvString::ZvString(const char* s, int len) : d(fromAscii_helper(s, len)) {}
ZvString::ZvString(unit c) : d(fromUnicode_helper(&c, 1)) {}
ZvString::ZvString(const ZvString& o) : d(takeRef(o.d)) {}
ZvString::~ZvString() {
    release(d);
}

ZvString& ZvString::operator=(const ZvString& o) {
    Data* x = takeRef(o.d); // first, so that self-assignment keeps the record alive
    release(d);
    d = x;
    return *this;
}

void ZvString::clear() {
    if (isNull()) return;
    ZvString().swap(*this);
}

ZvString ZvString::fromUtf8(const char* s, int len) {
    return ZvString(fromUtf8_helper(s, len));
}
ZvString ZvString::fromAscii(const char* s, int len) {
    return ZvString(fromAscii_helper(s, len));
}
ZvString ZvString::fromWCharArray(const unit* s, int len) {
    return ZvString(fromUnicode_helper(s, len));
}

// The runtime's conversion writes into 16 units, too few for base 2; this one
// has room for every base and value, and gives an empty string for a base it
// does not take, as the runtime leaves its buffer empty then.
ZvString ZvString::number(int n, int base) {
    unit text[pf::u16::kIntTextSize];
    const int len = pf::u16::fromInt(n, base, text);
    return ZvString(fromUnicode_helper(text, std::max(len, 0)));
}

int ZvString::toInt32(bool* ok) const {
    for (int i = 0; i < d->size; ++i) {
        if (d->data[i] < '0' || d->data[i] > '9') {
            if (ok) *ok = false;
            return 0;
        }
    }
    if (ok) *ok = true;
    return pf::u16::toInt(d->data);
}
unsigned int ZvString::toUInt32(bool* ok) const {
    return static_cast<unsigned int>(toInt32(ok));
}

// --- comparison -----------------------------------------------------------

bool ZvString::isNull() const {
    return d == shared_null();
}

bool ZvString::operator==(const ZvString& o) const {
    return d->size == o.d->size &&
           std::memcmp(d->data, o.d->data, size_t(d->size) * sizeof(unit)) == 0;
}
bool ZvString::operator==(const unit* s) const {
    if (!s) return d->size == 0;
    return pf::u16::length(s) == d->size &&
           std::memcmp(d->data, s, size_t(d->size) * sizeof(unit)) == 0;
}
bool ZvString::operator==(const char* s) const {
    return *this == fromAscii(s, -1);
}

int ZvString::compare(const ZvString& o) const {
    if (d->data == o.d->data && d->size == o.d->size) return 0;
    const int n = std::min(d->size, o.d->size);
    for (int i = 0; i < n; ++i)
        if (d->data[i] != o.d->data[i]) return int(d->data[i]) - int(o.d->data[i]);
    return d->size - o.d->size;
}
bool ZvString::operator<(const ZvString& o) const {
    return compare(o) < 0;
}

int ZvString::compareNoCase(const ZvString& o) const {
    if (d->data == o.d->data && d->size == o.d->size) return 0;
    const int r = pf::u16::compareNoCase(d->data, o.d->data, size_t(std::min(d->size, o.d->size)));
    return r ? r : d->size - o.d->size;
}

// --- search ---------------------------------------------------------------

namespace {
// A negative start counts from the end, as the byte array's searches do.
int forwardStart(int from, int size) {
    return from < 0 ? std::max(0, size + from) : from;
}
int positionOf(const unit* found, const unit* base) {
    return found ? int(found - base) : -1;
}
} // namespace

int ZvString::indexOf(unit c, int from) const {
    from = forwardStart(from, d->size);
    if (from >= d->size) return -1;
    return positionOf(pf::u16::findChar(d->data + from, c), d->data);
}

int ZvString::indexOf(const ZvString& s, int from) const {
    from = forwardStart(from, d->size);
    if (isEmpty() || from >= d->size) return -1;
    return positionOf(pf::u16::find(d->data + from, s.d->data), d->data);
}

// A from of size starts at the terminator, so a search for 0 finds it there.
int ZvString::lastIndexOf(unit c, int from) const {
    if (isEmpty()) return -1;
    if (from < 0) from += d->size;
    if (from < 0) return -1;
    if (from > d->size) from = d->size - 1;
    for (int p = from; p >= 0; --p)
        if (d->data[p] == c) return p;
    return -1;
}

int ZvString::lastIndexOf(const ZvString& s, int from) const {
    const int n = s.d->size;
    if (n == 1) return lastIndexOf(s.d->data[0], from);
    if (from < 0) from += d->size;
    if (from == d->size && n == 0) return from;
    if (from < 0 || from >= d->size || n > d->size) return -1;
    for (int p = std::min(d->size - n, from); p >= 0; --p)
        if (std::memcmp(d->data + p, s.d->data, size_t(n) * sizeof(unit)) == 0) return p;
    return -1;
}

bool ZvString::contains(unit c) const {
    return !isEmpty() && pf::u16::findChar(d->data, c);
}
bool ZvString::contains(const ZvString& s) const {
    return !isEmpty() && pf::u16::find(d->data, s.d->data);
}
bool ZvString::startsWith(unit c) const {
    return isEmpty() ? c == 0 : d->data[0] == c;
}
bool ZvString::endsWith(unit c) const {
    return isEmpty() ? c == 0 : d->data[d->size - 1] == c;
}

namespace {
// The shared rules of startsWith and endsWith; at is where s would start.
bool affixMatches(const ZvString& str, const ZvString& s, bool atEnd) {
    if (str.isNull()) return s.isNull();
    if (str.isEmpty()) return s.isEmpty();
    if (s.size() > str.size()) return false;
    const int at = atEnd ? str.size() - s.size() : 0;
    return std::memcmp(str.constString() + at, s.constString(), size_t(s.size()) * sizeof(unit)) ==
           0;
}
} // namespace

bool ZvString::startsWith(const ZvString& s) const {
    return affixMatches(*this, s, false);
}
bool ZvString::endsWith(const ZvString& s) const {
    return affixMatches(*this, s, true);
}

// --- editing --------------------------------------------------------------

// s must not point into this string's record: a reallocation may move it.
// Appending nothing to a string without an owned record still gives it one.
ZvString& ZvString::appendUnits(const unit* s, int n) {
    const long long total = (long long)d->size + n;
    if (!fits(total)) return *this;
    if (!owned() || total > d->capacity) reallocData(grow(int(total)));
    copyUnits(d->data + d->size, s, n);
    d->size = int(total);
    d->data[d->size] = 0;
    return *this;
}

ZvString& ZvString::append(const ZvString& s) {
    if (s.isNull()) return *this;
    if (isNull()) return *this = s;
    if (&s == this) {
        const ZvString keep(s); // the units stay put while the record is copied
        return appendUnits(keep.d->data, keep.d->size);
    }
    return appendUnits(s.d->data, s.d->size);
}
ZvString& ZvString::append(unit c) {
    return appendUnits(&c, 1);
}
ZvString& ZvString::append(const unit* s) {
    return s ? append(fromWCharArray(s, -1)) : *this;
}
ZvString& ZvString::append(const char* s) {
    return s ? append(fromAscii(s, -1)) : *this;
}

ZvString& ZvString::insert(int i, unit c) {
    if (i < 0) i += d->size;
    if (i < 0) return *this;
    const int old = d->size;
    if (!expand(std::max(old, i))) return *this;
    copyUnits(d->data + i + 1, d->data + i, old - i);
    d->data[i] = c;
    return *this;
}

ZvString& ZvString::insert(int i, const unit* s, int len) {
    if (i < 0 || len < 1 || !s || !fits(len)) return *this;
    const auto at = reinterpret_cast<uintptr_t>(s);
    const auto lo = reinterpret_cast<uintptr_t>(d->data);
    if (at >= lo && at <= lo + size_t(d->capacity) * sizeof(unit)) {
        // The source lies in this record, which the insert may move or change:
        // insert from a copy.
        const ZvString copy(fromUnicode_helper(s, len));
        return insert(i, copy.d->data, len);
    }
    const int old = d->size;
    if (!fits((long long)std::max(i, old) + len) || !expand(std::max(i, old) + len - 1))
        return *this;
    copyUnits(d->data + i + len, d->data + i, old - i);
    copyUnits(d->data + i, s, len);
    return *this;
}

ZvString& ZvString::insert(int i, const ZvString& s) {
    return insert(i, s.d->data, s.d->size);
}

ZvString& ZvString::remove(int pos, int len) {
    if (pos < 0) pos += d->size;
    if (pos < 0 || pos >= d->size) return *this;
    if (len >= d->size - pos) {
        resize(pos);
        return *this;
    }
    if (len < 1) return *this;
    detach();
    copyUnits(d->data + pos, d->data + pos + len, d->size - pos - len + 1);
    d->size -= len;
    return *this;
}

// Builds the result in a separate string, so that before and after may be this
// string itself. The search runs over the terminated text, so it stops at an
// embedded 0 unit; the position after a match skips before's whole size.
ZvString& ZvString::replaceWith(const ZvString& before, const ZvString& after, bool noCase) {
    // An empty before would never advance: the string stays as it is. A before
    // whose first unit is 0 reads as empty text to the search, so it matches
    // wherever a search starts, and each match passes over its whole size.
    if (before.isEmpty()) return *this;
    const unit* base = d->data;
    const int size = d->size;
    ZvString result;
    long long pos = 0;
    while (size > 0 && pos < size) {
        const unit* hit = noCase ? pf::u16::findNoCase(base + pos, before.d->data)
                                 : pf::u16::find(base + pos, before.d->data);
        if (!hit) break;
        const long long at = hit - base;
        result.appendUnits(base + pos, int(at - pos));
        result.append(after);
        pos = at + before.d->size;
    }
    result.appendUnits(base + std::min<long long>(pos, size),
                       int(std::max<long long>(size - pos, 0)));
    swap(result);
    return *this;
}

ZvString& ZvString::replace(const ZvString& before, const ZvString& after) {
    return replaceWith(before, after, false);
}
ZvString& ZvString::replaceNoCase(const ZvString& before, const ZvString& after) {
    return replaceWith(before, after, true);
}

// --- slices ---------------------------------------------------------------

ZvString ZvString::left(int n) const {
    if (n >= 0 && n < d->size) return ZvString(fromUnicode_helper(d->data, n));
    return *this;
}

ZvString ZvString::right(int n) const {
    if (n >= 0 && n < d->size) return ZvString(fromUnicode_helper(d->data + d->size - n, n));
    return *this;
}

// A length that comes out negative (a negative pos eating into it) means up to
// the terminator, so mid(-5, 2) of "abcd" is the whole text in a new record.
ZvString ZvString::mid(int pos, int len) const {
    if (isNull() || pos >= d->size) return ZvString();
    long long p = pos, n = len;
    if (n < 0) n = d->size - p;
    if (p < 0) {
        n += p;
        p = 0;
    }
    if (p + n > d->size) n = d->size - p;
    if (p == 0 && n == d->size) return *this;
    return ZvString(fromUnicode_helper(d->data + p, n < 0 ? -1 : int(n)));
}

ZvString ZvString::toLower() const {
    ZvString r(fromUnicode_helper(d->data, d->size));
    pf::u16::lower(r.d->data, r.d->size);
    return r;
}

ZvString ZvString::toUpper() const {
    ZvString r(fromUnicode_helper(d->data, d->size));
    pf::u16::upper(r.d->data, r.d->size);
    return r;
}
