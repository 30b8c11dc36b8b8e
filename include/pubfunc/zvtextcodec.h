// ZvTextCodec: UTF-16 to and from UTF-8 or the system code page.
// ZvFileOutputStream: a writer of raw bytes to a file.
#pragma once

#include <pubfunc/export.h>
#include <pubfunc/zvbytearray.h>
#include <pubfunc/zvstring.h>

#include <cstdio>

// Converts narrow text in one of two code pages. Any other encoding value gives
// null results. Texts up to 4096 units (to wide) or 4096 bytes (to narrow)
// convert without a heap buffer besides the result's own record.
class PUBFUNC_API ZvTextCodec {
public:
    enum Encoding {
        Utf8 = 1, // code page 65001
        Cap = 3   // the system code page: 1252 and the like on Windows, UTF-8 elsewhere
    };

    ZvTextCodec(Encoding e) : _encoding(e) {}
    ~ZvTextCodec() {}

    // len bytes of s. Null for len 0 or an unknown encoding. Input with an
    // ill-formed or cut sequence gives the longest prefix that converts cleanly
    // (empty when there is none). A negative len converts the terminated text
    // with its terminator, so the result ends with one 0 unit; such input with
    // an ill-formed sequence gives an empty string. state is not used.
    ZvString toUnicode(const char* s, int len, int* state = nullptr) const;
    // len units of s (-1: with the terminator, which then ends the bytes). Null
    // for len 0 or an unknown encoding; a lone surrogate becomes U+FFFD in UTF-8.
    // The bytes follow the byte array's rule that a first byte of 0 gives an
    // empty array.
    ZvByteArray fromUnicode(const unsigned short* s, int len) const;
    ZvByteArray fromUnicode(const wchar16* s, int len) const {
        return fromUnicode(reinterpret_cast<const unsigned short*>(s), len);
    }

private:
    unsigned int codepage() const; // 0xFFFFFFFF for an unknown encoding

    Encoding _encoding;
};

// Raw bytes to a file. Copies share the handle; the destructor does not close
// the file: callers close it.
class PUBFUNC_API ZvFileOutputStream {
public:
    ZvFileOutputStream() : _file(nullptr) {}
    ~ZvFileOutputStream() {}

    // Creates or truncates the file for binary writing. A file already open is
    // closed first. Failure is not reported: the stream is then closed. On
    // Windows the file is opened unshared: no other handle opens it until close.
    void open(const unsigned short* path);
    void open(const wchar16* path) { open(reinterpret_cast<const unsigned short*>(path)); }
    // Closes the file if one is open; harmless otherwise.
    void close();
    // Writes size bytes as one item: 1 when all were written, else 0 (also for a
    // size of 0, a null buf, or no open file).
    unsigned long long write(const void* buf, unsigned int size);

private:
    FILE* _file;
};
