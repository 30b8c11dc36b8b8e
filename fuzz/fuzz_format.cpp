// fuzz_format: pf::format and pf::snformat, one conversion of a fixed list per
// 14-byte record (up to 8), each given one argument of its type: byte 0 the conversion,
// byte 1 the flags (bits 0-4 "-+ #0", bit 5 width by *, bit 6 precision by *, bit 7
// no precision), bytes 2 and 3 width and precision (200 and up: big steps past the
// 65,536 cap), byte 4 the size prefix, byte 5 the buffer size, then the value. The
// text stays within its width or precision plus the longest number, and a buffer
// of any size holds the text's prefix under the snformat contract, never more.
#include "core/format.h"
#include "xml/markup_check.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const char kConv[] = "dXfeascp";
const char* const kSizes[] = {"", "h", "hh", "I32", "l", "ll", "I64", "I", "z", "j", "t", "w", "L"};
int field(uint8_t b) {
    return b < 200 ? b : (b - 200) * 2000;
}

template <class... A> void run(const wstring16& fmt, size_t cap, int bound, A... args) {
    const wstring16 all = pf::format(fmt.c_str(), args...);
    REQUIRE(all.size() <= size_t(bound));
    std::vector<wchar16> buf(cap);
    const int r = pf::snformat(buf.data(), cap, fmt.c_str(), args...);
    REQUIRE(r == (all.size() <= cap ? int(all.size()) : -1));
    REQUIRE(wstring16(buf.data(), std::min(cap, all.size())) == all.substr(0, cap));
    REQUIRE(all.size() >= cap || buf[all.size()] == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const wchar16 wide[] = {'a', 0xE9, 0x4E2D, 0xD83D, 0xDE00, 0};
    for (int k = 0; k < 8 && size >= 14; ++k, data += 14, size -= 14) {
        const char conv = kConv[data[0] & 7];
        const bool real = conv == 'f' || conv == 'e' || conv == 'a';
        const size_t sizeIndex = real ? size_t("\0\4\14"[data[4] % 3]) : data[4] % 13u;
        const int flags = data[1], w = field(data[2]), p = field(data[3]);
        const bool starW = flags & 32, starP = (flags & 192) == 64;
        std::string f = "%";
        for (int i = 0; i < 5; ++i)
            if (flags >> i & 1) f += "-+ #0"[i];
        f += starW ? "*" : std::to_string(w);
        if (!(flags & 128)) f += starP ? ".*" : "." + std::to_string(p);
        f += kSizes[sizeIndex] + std::string(1, conv);
        const wstring16 fmt(f.begin(), f.end());
        const int bound = std::max(std::min(w, 65536), std::min(p, 65536)) + 400,
                  sw = data[4] & 128 ? -w : w;
        const auto go = [&](auto arg) {
            if (starW && starP)
                run(fmt, data[5], bound, sw, p, arg);
            else if (starW)
                run(fmt, data[5], bound, sw, arg);
            else if (starP)
                run(fmt, data[5], bound, p, arg);
            else
                run(fmt, data[5], bound, arg);
        };
        uint64_t v;
        std::memcpy(&v, data + 6, 8);
        double d;
        std::memcpy(&d, &v, 8);
        const bool big = sizeIndex >= 4 && sizeIndex != 11,
                   narrow = sizeIndex == 1 || sizeIndex == 2;
        if (real)
            go(d);
        else if (conv == 'p')
            go(reinterpret_cast<void*>(v));
        else if (conv == 's' && narrow)
            go(v & 1 ? "ab\xE9" : nullptr);
        else if (conv == 's')
            go(v & 1 ? wide : nullptr);
        else if (big && conv != 'c')
            go(static_cast<long long>(v));
        else
            go(int(v));
    }
    return 0;
}
