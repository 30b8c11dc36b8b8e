// ZvByteArray: implicitly shared bytes with copy on write; ZvByteRef, its write proxy.
#pragma once

#include <pubfunc/export.h>
#include <pubfunc/zvglobal.h>

class ZvByteArray;

// What the non-const operator[] of ZvByteArray returns: reading gives the byte, or 0
// at or beyond the size; writing gives the array a record of its own first and grows
// it when the index lies beyond the end (the bytes skipped over are not initialised).
// The index must not be negative: a negative index reads 0 and writes nothing.
class PUBFUNC_API ZvByteRef {
public:
    ZvByteRef(ZvByteArray& a, int i) : _a(a), _i(i) {}
    ZvByteRef(const ZvByteRef&) = default;

    operator char() const;
    ZvByteRef& operator=(char c);
    ZvByteRef& operator=(const ZvByteRef& r); // stores r's byte (r must be in range)

    bool operator==(char c) const { return char(*this) == c; }
    bool operator!=(char c) const { return char(*this) != c; }
    // Ordering compares bytes as signed 8-bit values on every platform.
    bool operator>(char c) const { return signedByte() > static_cast<signed char>(c); }
    bool operator>=(char c) const { return signedByte() >= static_cast<signed char>(c); }
    bool operator<(char c) const { return signedByte() < static_cast<signed char>(c); }
    bool operator<=(char c) const { return signedByte() <= static_cast<signed char>(c); }

private:
    signed char signedByte() const { return static_cast<signed char>(char(*this)); }

    ZvByteArray& _a;
    int _i;
};

// A byte buffer shared between copies until one of them changes (copy on write),
// always followed by a 0 byte. A null array (never given contents) differs from an
// empty one: isNull() tells them apart, isEmpty() is true for both.
//
// Contract shared by every member:
// - Positions and sizes are int. Out-of-range positions leave the array unchanged or
//   give -1, a null or an empty result, as each member says.
// - A null const char* given to a member that measures it with strlen, a negative
//   size given to ZvByteArray(const char*, int) and a negative len given to
//   prepend(const char*, int) are refused: the array stays unchanged (the
//   constructor gives a null array, searches give -1).
// - An edit whose result would exceed INT_MAX bytes is refused and leaves the array
//   unchanged.
// - A source pointer into the array's own bytes is safe for every append, prepend,
//   insert and assignment: the bytes are copied before they can move.
// - Allocation failure ends the process (std::abort) after one line on stderr. No
//   member can report failure, and carrying on would write through a null pointer.
// - One object serves one thread at a time; copies sharing a record may be used on
//   different threads.
class PUBFUNC_API ZvByteArray {
public:
    // One heap block: the fixed fields followed by capacity + 1 bytes of storage.
    struct Data {
        ZvAtomicInt ref; // arrays (and static owners) pointing here
        int capacity;    // bytes storable without reallocation, terminator excluded
        int size;        // bytes held
        char* data;      // always this record's own array
        char array[1];   // capacity + 1 bytes
    };

    ZvByteArray();                        // null
    ZvByteArray(const char* s);           // strlen(s) bytes; empty when s is ""
    ZvByteArray(const char* s, int size); // size bytes; empty when s[0] is 0
    ZvByteArray(char c, int size);        // size copies of c; empty when size <= 0
    ZvByteArray(const ZvByteArray& other) : d(other.d) { d->ref.ref(); }
    ~ZvByteArray();

    ZvByteArray& operator=(const ZvByteArray& other);
    ZvByteArray& operator=(const char* s); // null when s is null or ""
    void clear();                          // becomes null

    int size() const { return d->size; }
    int count() const { return d->size; }
    bool isEmpty() const { return d->size == 0; }
    bool isNull() const;

    // Never a null pointer: a null array gives a single 0 byte.
    const char* data() const { return d->data; }
    const char* constData() const { return d->data; }
    // Gives the array a record of its own (so a null array stops being null).
    char* data();

    // No range test: i must lie in [0, size()]; size() reads the terminator.
    char at(int i) const { return d->data[i]; }
    char operator[](int i) const { return d->data[i]; }
    char operator[](unsigned int i) const { return d->data[i]; }
    ZvByteRef operator[](int i) { return ZvByteRef(*this, i); }
    ZvByteRef operator[](unsigned int i) { return ZvByteRef(*this, int(i)); }

    // Searches give a position or -1. A negative from counts from the end.
    int indexOf(char c, int from = 0) const;
    int indexOf(const char* s, int from = 0) const; // "" is found at from
    int lastIndexOf(char c, int from = -1) const;   // from above size means size - 1
    int lastIndexOf(const char* s, int from = -1) const;
    int lastIndexOf(const ZvByteArray& a, int from = -1) const;
    bool contains(char c) const;
    bool contains(const char* s) const;
    bool endsWith(const ZvByteArray& a) const; // true for an empty a
    bool endsWith(const char* s) const;        // true for a null or empty s
    bool endsWith(char c) const;               // false for an empty array

    // Edits. len < 0 in append(const char*, int) means strlen(s); a null s or a len of 0
    // leaves the array unchanged. Appending or prepending an array to a null or empty
    // one shares the other's record.
    ZvByteArray& append(const char* s, int len);
    ZvByteArray& append(const char* s);
    ZvByteArray& append(char c);
    ZvByteArray& append(const ZvByteArray& a);
    ZvByteArray& prepend(const char* s, int len);
    ZvByteArray& prepend(const char* s);
    ZvByteArray& prepend(char c);
    ZvByteArray& prepend(const ZvByteArray& a);
    ZvByteArray& operator+=(const ZvByteArray& a) { return append(a); }
    ZvByteArray& operator+=(const char* s) { return append(s); }
    ZvByteArray& operator+=(char c) { return append(c); }
    // Inserting beyond the end fills the gap with spaces; i < 0 changes nothing.
    ZvByteArray& insert(int i, char c);
    ZvByteArray& insert(int i, const char* s, int len);
    ZvByteArray& insert(int i, const char* s);
    ZvByteArray& insert(int i, const ZvByteArray& a);
    // Unchanged when len < 1 or pos lies outside [0, size).
    ZvByteArray& remove(int pos, int len);
    // n <= 0 gives an empty array; bytes added past the old end are not initialised.
    void resize(int n);
    void squeeze(); // capacity down to the size

    // Slices are new arrays; a slice whose first byte is 0 comes back empty.
    ZvByteArray left(int n) const;
    ZvByteArray right(int n) const;
    ZvByteArray mid(int pos, int len = -1) const; // null when pos >= size

    ZvByteArray toHex() const; // lower-case digits, high nibble first
    // Non-digits are skipped; an odd digit count gives a leading low nibble.
    static ZvByteArray fromHex(const ZvByteArray& hex);
    // A deep copy with a record of its own; null when this array has no bytes.
    ZvByteArray clone();

private:
    friend class ZvByteRef;
    friend struct ZvByteArrayProbe; // white-box tests

    explicit ZvByteArray(Data* record) : d(record) {}

    bool owned() const { return d->ref == 1; }
    bool makeRoom(int extra);
    void appendBytes(const char* s, int len);
    void prependBytes(const char* s, int len);

    static Data* fromAscii(const char* s, int len);
    static int grow(int n);
    static int findLastBytes(const char* hay, int hayLen, const char* needle, int needleLen,
                             int from);
    void reallocData(int alloc);
    void detach();
    void expand(int i);
    void insertBytes(int i, const char* s, int len);

    Data* d;
};
