// ZvByteArray: implicitly shared bytes with copy on write.
//
// Sharing policy. An array holds one pointer to a Data record: one heap block with
// the counts and the bytes, the bytes always followed by a 0. Copying an array takes
// a reference (one atomic increment); dropping the last reference frees the block.
// A record is written in place only while it is owned, that is while its count is 1;
// every edit first makes the array's record owned (detach, or reallocData when it
// also needs room), so a copy taken earlier never sees the change. The ownership
// test is a plain read: a count of 1 means no other array can be copying from us
// at the same time, since copying needs this very object.
//
// Two static records, shared_null and shared_empty, stand for the null and the
// empty array. Each holds one reference of its own besides those of the arrays
// pointing at it, so its count never falls below 2 while in use, it is never owned
// and never freed, and the null and empty states need no allocation. Both are
// constant-initialised, so they exist before any code of the library runs.
//
// Room for appends comes from grow(), which reserves slack so that repeated appends
// reallocate only now and then; an owned record is resized with zvRealloc in place.
#include <pubfunc/zvbytearray.h>

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

namespace {

using Data = ZvByteArray::Data;

// The largest size an array can have: sizes are int, and every edit that would go
// past it is refused before anything is allocated or moved.
constexpr int kMaxSize = INT_MAX;

size_t recordBytes(int capacity) {
    return offsetof(Data, array) + size_t(capacity) + 1;
}

// A failed allocation ends the process: no member can report it, and every caller
// would go on to write through the null pointer.
void* checked(void* p) {
    if (!p) {
        std::fputs("pubfunc: out of memory in ZvByteArray\n", stderr);
        std::abort();
    }
    return p;
}

// A new record with one reference, room for capacity bytes and size 0.
Data* newRecord(int capacity) {
    Data* x = static_cast<Data*>(checked(zvMalloc(recordBytes(capacity))));
    new (&x->ref) ZvAtomicInt(1);
    x->capacity = capacity;
    x->size = 0;
    x->data = x->array;
    x->array[0] = 0;
    return x;
}

void setSize(Data* x, int n) {
    x->size = n;
    x->data[n] = 0;
}

// A new record holding exactly the len bytes at s.
Data* copyOf(const char* s, int len) {
    Data* x = newRecord(len);
    std::memcpy(x->data, s, size_t(len));
    setSize(x, len);
    return x;
}

// Compared through std::less: pointers into unrelated blocks have no built-in order.
bool pointsInside(const Data* x, const char* p) {
    const std::less<> before;
    return !before(p, x->array) && before(p, x->array + x->capacity + 1);
}

// A source inside the target's own record would move with a reallocation or be
// overwritten by the shift of the contents, so it is copied aside first and the
// copy is read instead; the copy lives as long as this guard.
class SourceGuard {
public:
    SourceGuard(const Data* target, const char*& s, int len)
        : _copy(pointsInside(target, s) ? copyOf(s, len) : nullptr) {
        if (_copy) s = _copy->data;
    }
    ~SourceGuard() { zvFree(_copy); }
    SourceGuard(const SourceGuard&) = delete;
    SourceGuard& operator=(const SourceGuard&) = delete;

private:
    Data* _copy;
};

void release(Data* x) {
    if (x->ref.deref() == 0) zvFree(x);
}

// Lower bound of a search start: a negative from counts back from the end.
int normaliseFrom(int from, int size) {
    if (from >= 0) return from;
    from += size;
    return from < 0 ? 0 : from;
}

// The null and the empty record. Internal to this file: a process that loads two
// copies of the library gets two pairs, each used only by its own copy's code.
Data shared_null = {1, 0, 0, shared_null.array, {0}};
Data shared_empty = {1, 0, 0, shared_empty.array, {0}};

constexpr char kHexDigits[] = "0123456789abcdef";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

// ---- construction and assignment ------------------------------------------------

ZvByteArray::ZvByteArray() : d(&shared_null) {
    d->ref.ref();
}

ZvByteArray::ZvByteArray(const char* s) : d(fromAscii(s, s ? int(std::strlen(s)) : 0)) {}

// A negative size is refused with a null array rather than read as a huge length.
ZvByteArray::ZvByteArray(const char* s, int size) : d(fromAscii(size < 0 ? nullptr : s, size)) {}

ZvByteArray::ZvByteArray(char c, int size) : ZvByteArray() {
    resize(size);
    if (d->size > 0) std::memset(d->data, c, size_t(d->size));
}

ZvByteArray::~ZvByteArray() {
    release(d);
}

ZvByteArray& ZvByteArray::operator=(const ZvByteArray& other) {
    other.d->ref.ref(); // first, so that self-assignment keeps the record alive
    release(d);
    d = other.d;
    return *this;
}

// The new value is built aside before the old record goes, so s may point into it.
ZvByteArray& ZvByteArray::operator=(const char* s) {
    ZvByteArray value;
    if (s) value.append(s, int(std::strlen(s)));
    return *this = value;
}

void ZvByteArray::clear() {
    *this = ZvByteArray();
}

bool ZvByteArray::isNull() const {
    return d == &shared_null;
}

char* ZvByteArray::data() {
    detach();
    return d->data;
}

// ---- searches ---------------------------------------------------------------------

int ZvByteArray::indexOf(char c, int from) const {
    from = normaliseFrom(from, d->size);
    if (from >= d->size) return -1;
    const void* hit = std::memchr(d->data + from, c, size_t(d->size - from));
    return hit ? int(static_cast<const char*>(hit) - d->data) : -1;
}

int ZvByteArray::indexOf(const char* s, int from) const {
    if (!s) return -1;
    const size_t len = std::strlen(s);
    from = normaliseFrom(from, d->size);
    if (from > d->size || len > size_t(d->size - from)) return -1;
    if (len == 0) return from;
    // memchr finds candidates for the first byte; memcmp confirms the rest.
    const char* p = d->data + from;
    const char* last = d->data + d->size - len;
    while (p <= last) {
        p = static_cast<const char*>(std::memchr(p, s[0], size_t(last - p) + 1));
        if (!p) return -1;
        if (std::memcmp(p + 1, s + 1, len - 1) == 0) return int(p - d->data);
        ++p;
    }
    return -1;
}

int ZvByteArray::lastIndexOf(char c, int from) const {
    if (from < 0)
        from += d->size;
    else if (from > d->size)
        from = d->size - 1;
    for (int p = from; p >= 0; --p)
        if (d->data[p] == c) return p;
    return -1;
}

int ZvByteArray::lastIndexOf(const char* s, int from) const {
    if (!s) return -1;
    const size_t len = std::strlen(s);
    if (len == 1) return lastIndexOf(s[0], from);
    if (len > size_t(kMaxSize)) return -1;
    return findLastBytes(d->data, d->size, s, int(len), from);
}

int ZvByteArray::lastIndexOf(const ZvByteArray& a, int from) const {
    if (a.d->size == 1) return lastIndexOf(a.d->data[0], from);
    return findLastBytes(d->data, d->size, a.d->data, a.d->size, from);
}

bool ZvByteArray::contains(char c) const {
    return indexOf(c, 0) != -1;
}

bool ZvByteArray::contains(const char* s) const {
    return indexOf(s, 0) != -1;
}

bool ZvByteArray::endsWith(const ZvByteArray& a) const {
    if (d == a.d || a.d->size == 0) return true;
    if (a.d->size > d->size) return false;
    return std::memcmp(d->data + d->size - a.d->size, a.d->data, size_t(a.d->size)) == 0;
}

// A narrow-string comparison: it stops at the first 0 byte of either side.
bool ZvByteArray::endsWith(const char* s) const {
    if (!s || !*s) return true;
    const size_t len = std::strlen(s);
    if (len > size_t(d->size)) return false;
    return std::strncmp(d->data + d->size - len, s, len) == 0;
}

bool ZvByteArray::endsWith(char c) const {
    return d->size > 0 && d->data[d->size - 1] == c;
}

// ---- edits --------------------------------------------------------------------------

ZvByteArray& ZvByteArray::append(const char* s, int len) {
    if (!s) return *this;
    if (len < 0) len = int(std::strlen(s));
    if (len > 0) appendBytes(s, len);
    return *this;
}

ZvByteArray& ZvByteArray::append(const char* s) {
    return s ? append(s, int(std::strlen(s))) : *this;
}

ZvByteArray& ZvByteArray::appendByte(char c) {
    if (makeRoom(1)) {
        d->data[d->size] = c;
        setSize(d, d->size + 1);
    }
    return *this;
}

// An empty a still gives a shared record of this array's own: every non-trivial
// append leaves this array owning its record.
ZvByteArray& ZvByteArray::append(const ZvByteArray& a) {
    if (d == &shared_null || d == &shared_empty)
        *this = a;
    else if (a.d != &shared_null)
        appendBytes(a.d->data, a.d->size);
    return *this;
}

// A negative len is refused: it has no length meaning here.
ZvByteArray& ZvByteArray::prepend(const char* s, int len) {
    if (s && len >= 0) prependBytes(s, len);
    return *this;
}

ZvByteArray& ZvByteArray::prepend(const char* s) {
    return s ? prepend(s, int(std::strlen(s))) : *this;
}

ZvByteArray& ZvByteArray::prepend(char c) {
    return prepend(&c, 1);
}

// a's bytes followed by ours: take a's record, then append the old contents.
ZvByteArray& ZvByteArray::prepend(const ZvByteArray& a) {
    if (d == &shared_null || d == &shared_empty) return *this = a;
    if (a.d == &shared_null) return *this;
    if (a.d->size > kMaxSize - d->size) return *this;
    const ZvByteArray old(*this);
    *this = a;
    appendBytes(old.d->data, old.d->size);
    return *this;
}

ZvByteArray& ZvByteArray::insert(int i, char c) {
    insertBytes(i, &c, 1);
    return *this;
}

ZvByteArray& ZvByteArray::insert(int i, const char* s, int len) {
    insertBytes(i, s, len);
    return *this;
}

ZvByteArray& ZvByteArray::insert(int i, const char* s) {
    if (s) insertBytes(i, s, int(std::strlen(s)));
    return *this;
}

ZvByteArray& ZvByteArray::insert(int i, const ZvByteArray& a) {
    insertBytes(i, a.d->data, a.d->size);
    return *this;
}

ZvByteArray& ZvByteArray::remove(int pos, int len) {
    if (len < 1 || pos < 0 || pos >= d->size) return *this;
    detach();
    if (len < d->size - pos) {
        std::memmove(d->data + pos, d->data + pos + len, size_t(d->size - pos - len));
        resize(d->size - len);
    } else {
        resize(pos);
    }
    return *this;
}

// The record stays when it is owned, big enough, and not shrinking below half its
// capacity; anything else moves the contents to a record of capacity grow(n).
void ZvByteArray::resize(int n) {
    if (n <= 0) {
        shared_empty.ref.ref();
        release(d);
        d = &shared_empty;
        return;
    }
    if (n > kMaxSize) return;
    if (d == &shared_null) {
        release(d);
        d = newRecord(n);
    } else if (!owned() || n > d->capacity || (n < d->size && n < d->capacity / 2)) {
        reallocData(grow(n));
    }
    if (d->capacity >= n) setSize(d, n);
}

void ZvByteArray::squeeze() {
    if (d->size < d->capacity) reallocData(d->size);
}

// ---- slices -------------------------------------------------------------------------

ZvByteArray ZvByteArray::left(int n) const {
    if (n >= d->size) return *this;
    return ZvByteArray(fromAscii(d->data, n < 0 ? 0 : n));
}

ZvByteArray ZvByteArray::right(int n) const {
    if (n >= d->size) return *this;
    if (n < 0) n = 0;
    return ZvByteArray(fromAscii(d->data + d->size - n, n));
}

// Position and length are clamped in 64 bits, so extreme arguments cannot wrap.
ZvByteArray ZvByteArray::mid(int pos, int len) const {
    if (d->size == 0 || pos >= d->size) return ZvByteArray();
    long long p = pos, n = len;
    if (n < 0) n = d->size - p;
    if (p < 0) n += p, p = 0;
    if (p + n > d->size) n = d->size - p;
    if (n < 0) n = 0;
    if (p == 0 && n == d->size) return *this;
    return ZvByteArray(fromAscii(d->data + p, int(n)));
}

// ---- hex and copies -----------------------------------------------------------------

ZvByteArray ZvByteArray::toHex() const {
    ZvByteArray hex;
    if (d->size > kMaxSize / 2) return hex;
    hex.resize(2 * d->size);
    char* out = hex.data();
    for (int i = 0; i < d->size; ++i) {
        const unsigned char b = static_cast<unsigned char>(d->data[i]);
        *out++ = kHexDigits[b >> 4];
        *out++ = kHexDigits[b & 0xf];
    }
    return hex;
}

// Digits are read from the end, so an odd count leaves the first byte with a low
// nibble only; bytes that are not hex digits are skipped wherever they stand.
ZvByteArray ZvByteArray::fromHex(const ZvByteArray& hex) {
    ZvByteArray res;
    res.resize(hex.d->size / 2 + hex.d->size % 2); // (size + 1) / 2 without overflow
    char* const begin = res.data();
    char* out = begin + res.d->size;
    bool low = true;
    for (int i = hex.d->size - 1; i >= 0; --i) {
        const int v = hexValue(hex.d->data[i]);
        if (v < 0) continue;
        if (low)
            *--out = char(v);
        else
            *out = char(*out | (v << 4));
        low = !low;
    }
    const int lead = int(out - begin);
    if (lead == 0 || res.d->size == 0) return res;
    if (lead >= res.d->size) {
        res.resize(0);
    } else {
        std::memmove(begin, out, size_t(res.d->size - lead));
        res.resize(res.d->size - lead);
    }
    return res;
}

ZvByteArray ZvByteArray::clone() {
    detach();
    ZvByteArray copy;
    copy.append(d->data, d->size);
    return copy;
}

// ---- ZvByteRef ----------------------------------------------------------------------

ZvByteRef::operator char() const {
    return _i >= 0 && _i < _a.d->size ? _a.d->data[_i] : '\0';
}

ZvByteRef& ZvByteRef::operator=(char c) {
    if (_i < 0) return *this;
    if (_i >= _a.d->size)
        _a.expand(_i);
    else
        _a.detach();
    if (_i < _a.d->size) _a.d->data[_i] = c; // false only when expand was refused
    return *this;
}

ZvByteRef& ZvByteRef::operator=(const ZvByteRef& r) {
    return *this = char(r);
}

// ---- private helpers ----------------------------------------------------------------

// Makes the record owned with room for extra more bytes; false (and nothing done)
// when the size would pass kMaxSize.
bool ZvByteArray::makeRoom(int extra) {
    if (extra > kMaxSize - d->size) return false;
    if (!owned() || d->size + extra > d->capacity) reallocData(grow(d->size + extra));
    return true;
}

void ZvByteArray::appendBytes(const char* s, int len) {
    const SourceGuard guard(d, s, len);
    if (!makeRoom(len)) return;
    std::memcpy(d->data + d->size, s, size_t(len));
    setSize(d, d->size + len);
}

void ZvByteArray::prependBytes(const char* s, int len) {
    const SourceGuard guard(d, s, len);
    if (!makeRoom(len)) return;
    std::memmove(d->data + len, d->data, size_t(d->size));
    std::memcpy(d->data, s, size_t(len));
    setSize(d, d->size + len);
}

// A null s gives shared_null, a first byte of 0 shared_empty whatever len is, and
// anything else a new record of exactly len bytes (len 0 included).
ZvByteArray::Data* ZvByteArray::fromAscii(const char* s, int len) {
    Data* x;
    if (!s) {
        x = &shared_null;
    } else if (!*s) {
        x = &shared_empty;
    } else {
        return copyOf(s, len);
    }
    x->ref.ref();
    return x;
}

// The capacity to reserve when n bytes must fit. The step g is 16, 64 or 4096 by
// size; the bit of value g is cleared from t + g, so the result is not the next
// multiple of g: growth stays close to the request for sizes just past a boundary.
// Worked in 64 bits and capped at kMaxSize, so a request near INT_MAX cannot wrap.
int ZvByteArray::grow(int n) {
    long long t = (long long)n + 32;
    const long long g = t < 64 ? 16 : t < 4096 ? 64 : 4096;
    t = ((t + g) & ~g) - 32;
    return t > kMaxSize ? kMaxSize : int(t);
}

// Walks the window start down from `from`, keeping a rolling hash of the window:
// the sum of its bytes (signed) modulo 2^32, the byte at offset k weighted by 2^k,
// so the window's last byte weighs most. Moving down one byte drops the last byte's
// term, doubles the rest and adds the new first byte: constant time per step, and
// bytes are compared only on a hash match.
int ZvByteArray::findLastBytes(const char* hay, int hayLen, const char* needle, int needleLen,
                               int from) {
    const int delta = hayLen - needleLen;
    if (from < 0) from = delta;
    if (from < 0 || from > hayLen) return -1;
    if (from > delta) from = delta;
    if (from < 0) return -1;
    if (needleLen == 0) return from;

    const auto byte = [](char c) { return unsigned(static_cast<signed char>(c)); };
    const char* const window = hay + from;
    unsigned hNeedle = 0, hWindow = 0;
    for (int k = needleLen - 1; k >= 0; --k) {
        hNeedle = (hNeedle << 1) + byte(needle[k]);
        hWindow = (hWindow << 1) + byte(window[k]);
    }
    const int shift = needleLen - 1; // weight of the window's first byte
    for (int p = from;; --p) {
        if (hWindow == hNeedle && std::memcmp(hay + p, needle, size_t(needleLen)) == 0) return p;
        if (p == 0) return -1;
        if (shift < 32) hWindow -= byte(hay[p + needleLen - 1]) << shift;
        hWindow = (hWindow << 1) + byte(hay[p - 1]);
    }
}

// Gives the array a record of capacity alloc: resized in place when owned (the size
// is the caller's to set), otherwise a fresh copy of the first min(alloc, size) bytes.
void ZvByteArray::reallocData(int alloc) {
    if (owned()) {
        d = static_cast<Data*>(checked(zvRealloc(d, recordBytes(alloc))));
        d->capacity = alloc;
        d->data = d->array;
        return;
    }
    Data* x = newRecord(alloc);
    const int n = d->size < alloc ? d->size : alloc;
    std::memcpy(x->data, d->data, size_t(n));
    setSize(x, n);
    release(d);
    d = x;
}

void ZvByteArray::detach() {
    if (!owned()) reallocData(d->size);
}

void ZvByteArray::expand(int i) {
    if (i < kMaxSize) resize(i + 1 > d->size ? i + 1 : d->size);
}

// Inserting past the end fills the gap from the old end to i with spaces.
void ZvByteArray::insertBytes(int i, const char* s, int len) {
    if (i < 0 || len < 1 || !s) return;
    const int old = d->size;
    const int base = i > old ? i : old;
    if (len > kMaxSize - base) return;
    const SourceGuard guard(d, s, len);
    resize(base + len);
    char* p = data();
    if (i <= old)
        std::memmove(p + i + len, p + i, size_t(old - i));
    else
        std::memset(p + old, ' ', size_t(i - old));
    std::memcpy(p + i, s, size_t(len));
}
