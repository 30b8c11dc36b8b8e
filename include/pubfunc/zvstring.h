// ZvString: an implicitly shared string of UTF-16 code units.
#pragma once

#include <pubfunc/export.h>
#include <pubfunc/zvbytearray.h>
#include <pubfunc/zvglobal.h>

// Copies share one record until one of them changes (copy on write). A 0 unit
// always follows the last unit. A null string (never given contents) is told
// apart from an empty one by isNull(); both have size 0 and compare equal.
//
// Searches and comparisons that read text as terminated (indexOf, contains,
// replace, compareNoCase, toInt32) stop at the first 0 unit inside a string.
// Case mapping and case-insensitive comparison touch A-Z and a-z only.
//
// Every function that takes const unsigned short* also takes const wchar16*, so
// hosts can pass W16("...") literals. A null pointer is taken as no input: it
// gives a null string, or leaves the string unchanged.
// A size that would pass the largest string (about 2^30 units) is refused: the
// string stays unchanged, and a constructor gives a null string.
//
// A failed allocation ends the process after one line on stderr, as for the byte
// array: no member can report it.
//
// One string object is for one thread at a time; strings sharing a record may
// live on different threads (counts change atomically), except that a write
// through the non-const at() is seen by every string sharing the record.
class PUBFUNC_API ZvString {
public:
    struct Data {
        ZvAtomicInt ref;
        int capacity; // units that fit without reallocation, not counting the terminator
        int size;
        unsigned short* data; // always this record's own array
        unsigned short array[1];
    };

    ZvString();
    ZvString(const unsigned short* s);
    ZvString(const unsigned short* s, int len); // a negative len: up to the terminator
    ZvString(const char* s, int len);           // from the system code page
    ZvString(unsigned short c);
    ZvString(const wchar16* s) : ZvString(reinterpret_cast<const unsigned short*>(s)) {}
    ZvString(const wchar16* s, int len)
        : ZvString(reinterpret_cast<const unsigned short*>(s), len) {}
    ZvString(const ZvString& o);
    ~ZvString();
    ZvString& operator=(const ZvString& o);
    void clear(); // becomes null

    // Conversions. A negative len means up to the terminator. Narrow input is
    // converted in one pass; ill-formed parts become U+FFFD, and a failed
    // conversion gives an empty string.
    static ZvString fromUtf8(const char* s, int len = -1);
    static ZvString fromAscii(const char* s, int len = -1); // the system code page
    static ZvString fromWCharArray(const unsigned short* s, int len = -1);
    static ZvString fromWCharArray(const wchar16* s, int len = -1) {
        return fromWCharArray(reinterpret_cast<const unsigned short*>(s), len);
    }
    // UTF-8 or system-code-page bytes, no terminator among them; null for an
    // empty or null string.
    ZvByteArray toUtf8() const;
    ZvByteArray toCap() const;
    // The digits of n in base 2 to 36, lower-case letters. Base 10 writes "-" for
    // a negative n; other bases write n as an unsigned 32-bit value. Any other
    // base gives an empty string.
    static ZvString number(int n, int base = 10);
    // Decimal digits only (no sign, no blank): *ok true and their value, which
    // saturates at 2147483647. Anything else: *ok false and 0. Empty: 0, *ok true.
    int toInt32(bool* ok = nullptr) const;
    unsigned int toUInt32(bool* ok = nullptr) const;

    int size() const { return d->size; }
    int length() const { return d->size; }
    bool isEmpty() const { return d->size == 0; }
    bool isNull() const;
    unsigned short* constString() const { return d->data; } // never null
    unsigned short at(int i) const { return d->data[i]; }   // no range test
    unsigned short operator[](int i) const { return d->data[i]; }
    // Writes through to every string that shares this record: no copy is made.
    unsigned short& at(int i) { return d->data[i]; }

    // Ordinal comparison by unit value. Null equals empty.
    bool operator==(const ZvString& o) const;
    bool operator==(const unsigned short* s) const;
    bool operator==(const wchar16* s) const {
        return *this == reinterpret_cast<const unsigned short*>(s);
    }
    bool operator==(const char* s) const; // s from the system code page
    bool operator!=(const ZvString& o) const { return !(*this == o); }
    bool operator!=(const unsigned short* s) const { return !(*this == s); }
    bool operator!=(const wchar16* s) const { return !(*this == s); }
    bool operator!=(const char* s) const { return !(*this == s); }
    // The difference of the first differing units, else of the sizes.
    int compare(const ZvString& o) const;
    int compareNoCase(const ZvString& o) const;
    bool operator<(const ZvString& o) const;
    bool operator>(const ZvString& o) const { return o < *this; }
    bool operator<=(const ZvString& o) const { return !(o < *this); }
    bool operator>=(const ZvString& o) const { return !(*this < o); }

    // Searches return a position or -1. A negative from given to indexOf counts
    // from the end (size + from, at least 0). lastIndexOf takes a negative from as
    // size + from; for one unit, a from above size starts at the last unit.
    int indexOf(unsigned short c, int from = 0) const;
    int indexOf(const ZvString& s, int from = 0) const;
    int lastIndexOf(unsigned short c, int from = -1) const;
    int lastIndexOf(const ZvString& s, int from = -1) const;
    bool contains(unsigned short c) const;
    bool contains(const ZvString& s) const;
    bool startsWith(unsigned short c) const;
    bool endsWith(unsigned short c) const;
    bool startsWith(const ZvString& s) const;
    bool endsWith(const ZvString& s) const;

    // Editing. A null string that appends takes the other's record.
    ZvString& append(const ZvString& s);
    ZvString& append(unsigned short c);
    ZvString& append(const unsigned short* s);
    ZvString& append(const wchar16* s) {
        return append(reinterpret_cast<const unsigned short*>(s));
    }
    ZvString& append(const char* s); // from the system code page
    ZvString& operator+=(const ZvString& s) { return append(s); }
    ZvString& operator+=(unsigned short c) { return append(c); }
    ZvString& operator+=(const unsigned short* s) { return append(s); }
    ZvString& operator+=(const wchar16* s) { return append(s); }
    ZvString& operator+=(const char* s) { return append(s); }
    // Inserting past the end fills the gap with spaces. insert(i, c) takes a
    // negative i as size + i; the other forms leave the string unchanged for it.
    ZvString& insert(int i, unsigned short c);
    ZvString& insert(int i, const unsigned short* s, int len);
    ZvString& insert(int i, const wchar16* s, int len) {
        return insert(i, reinterpret_cast<const unsigned short*>(s), len);
    }
    ZvString& insert(int i, const ZvString& s);
    ZvString& remove(int pos, int len); // a negative pos counts from the end
    // Every occurrence of before, left to right, without rescanning what was put
    // in. An empty before changes nothing; one starting with a 0 unit matches at
    // every place the search reaches, each match spanning before's size.
    ZvString& replace(const ZvString& before, const ZvString& after);
    // The same with A-Z and a-z taken as equal.
    ZvString& replaceNoCase(const ZvString& before, const ZvString& after);
    // n <= 0 gives an empty string; new units past the old size are not set.
    void resize(int n);

    // Slices. Where a slice is the whole string, it shares the record.
    ZvString left(int n) const;
    ZvString right(int n) const;
    ZvString mid(int pos, int len = -1) const;
    ZvString toLower() const; // every unit mapped; the source is not changed
    ZvString toUpper() const;

private:
    explicit ZvString(Data* adopt) : d(adopt) {}
    void swap(ZvString& o);
    static Data* shared_null();
    static Data* shared_empty();
    static int grow(int n);
    // Each returns a record with one reference taken.
    static Data* fromUtf8_helper(const char* s, int len);
    static Data* fromAscii_helper(const char* s, int len);
    static Data* fromUnicode_helper(const unsigned short* s, int len);
    void reallocData(int alloc);
    void reallocData() { reallocData(d->size); }
    void detach();
    bool expand(int i);
    bool owned() const;
    ZvString& appendUnits(const unsigned short* s, int n);
    ZvString& replaceWith(const ZvString& before, const ZvString& after, bool noCase);

    Data* d;
};
