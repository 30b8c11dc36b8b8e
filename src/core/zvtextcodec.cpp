// ZvTextCodec, ZvFileOutputStream, and ZvString's narrow output built on the codec.
#include <pubfunc/zvtextcodec.h>

#include "platform/codepage.h"
#include "platform/fs.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

typedef unsigned short unit;
namespace platform = pf::platform;

constexpr unsigned kNoCodePage = 0xFFFFFFFFu;
constexpr int kStackUnits = 4096;
constexpr int kStackBytes = 4096;

// A conversion buffer: the caller's stack array, or a heap block once the text
// is known not to fit it.
template <class T> class Buffer {
public:
    Buffer(T* stack, int capacity) : _at(stack), _capacity(capacity) {}
    ~Buffer() { zvFree(_heap); }
    T* at() const { return _at; }
    int capacity() const { return _capacity; }
    bool onHeap() const { return _heap != nullptr; }
    void moveToHeap(int capacity) {
        _heap = static_cast<T*>(zvMalloc(size_t(capacity) * sizeof(T)));
        if (!_heap) {
            std::fputs("pubfunc: out of memory in ZvTextCodec\n", stderr);
            std::abort();
        }
        _at = _heap;
        _capacity = capacity;
    }

private:
    T* _at;
    int _capacity;
    T* _heap = nullptr;
};

} // namespace

unsigned int ZvTextCodec::codepage() const {
    switch (_encoding) {
    case Utf8:
        return platform::kCodePageUtf8;
    case Cap:
        return platform::kCodePageAnsi;
    default:
        return kNoCodePage;
    }
}

// Tries the stack buffer first. A text too long for it is converted once more
// into a heap buffer of one unit per input byte, which every code page's text
// fits (no measuring pass is needed then; a terminated text of unknown length
// is measured). Ill-formed input is cut to its longest clean
// prefix, found in one pass over the input rather than by dropping one byte at a
// time and converting again. A negative len (the text with its terminator) with
// ill-formed input gives an empty string: there is no shorter length to try.
//
// The platform may report success for a run that fills the buffer with the high
// half of a pair as its last unit, the low half lost; no well-formed input ends
// in a lone high surrogate, so such a run counts as a buffer too small, and every
// character of the input arrives.
ZvString ZvTextCodec::toUnicode(const char* s, int len, int*) const {
    const unsigned cp = codepage();
    if (cp == kNoCodePage || len == 0) return ZvString();
    unit stack[kStackUnits];
    Buffer<unit> buf(stack, kStackUnits);
    bool cut = false;
    int n;
    for (;;) {
        n = platform::multiByteToWide(cp, platform::kMbErrInvalidChars, s, len, buf.at(),
                                      buf.capacity());
        const bool halfPair = n > 0 && n == buf.capacity() && (buf.at()[n - 1] & 0xFC00) == 0xD800;
        if (n > 0 && !halfPair) break;
        const unsigned long error =
            halfPair ? platform::kErrorInsufficientBuffer : platform::lastError();
        n = 0;
        if (error == platform::kErrorInsufficientBuffer && !buf.onHeap()) {
            const int need = len > 0 ? len : platform::multiByteToWide(cp, 0, s, len, nullptr, 0);
            if (need <= 0) break;
            buf.moveToHeap(need);
        } else if (error == platform::kErrorNoUnicodeTranslation && !cut && len > 0) {
            len = platform::cleanPrefix(cp, s, len);
            cut = true;
            if (len == 0) break;
        } else {
            break;
        }
    }
    return ZvString::fromWCharArray(buf.at(), n > 0 ? n : 0);
}

// Tries the stack buffer first; a text too long for it is converted once more
// into a heap buffer. For UTF-8 that buffer takes three bytes per unit, the most
// any unit needs, so no measuring pass is made; the system code page's text is
// measured first. A failed conversion gives an empty array.
ZvByteArray ZvTextCodec::fromUnicode(const unit* s, int len) const {
    const unsigned cp = codepage();
    if (cp == kNoCodePage || len == 0) return ZvByteArray();
    char stack[kStackBytes];
    Buffer<char> buf(stack, kStackBytes);
    int n = platform::wideToMultiByte(cp, 0, s, len, buf.at(), buf.capacity());
    if (n == 0 && platform::lastError() == platform::kErrorInsufficientBuffer) {
        const int need = cp == platform::kCodePageUtf8 && len > 0 && len <= INT_MAX / 3
                             ? 3 * len
                             : platform::wideToMultiByte(cp, 0, s, len, nullptr, 0);
        if (need > 0) {
            buf.moveToHeap(need);
            n = platform::wideToMultiByte(cp, 0, s, len, buf.at(), need);
        }
    }
    if (n <= 0) return ZvByteArray("", 0);
    return ZvByteArray(buf.at(), n);
}

ZvByteArray ZvString::toUtf8() const {
    return ZvTextCodec(ZvTextCodec::Utf8).fromUnicode(d->data, d->size);
}

ZvByteArray ZvString::toCap() const {
    return ZvTextCodec(ZvTextCodec::Cap).fromUnicode(d->data, d->size);
}

void ZvFileOutputStream::open(const unit* path) {
    close();
    _file = platform::openFileUnshared(path, "wb");
}

void ZvFileOutputStream::close() {
    if (!_file) return;
    std::fclose(_file);
    _file = nullptr;
}

unsigned long long ZvFileOutputStream::write(const void* buf, unsigned int size) {
    if (!_file || !buf) return 0;
    return std::fwrite(buf, size, 1, _file);
}
