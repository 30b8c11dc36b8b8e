// fuzz_format: pf::format and pf::snformat over up to 8 records of 14 bytes, each
// one conversion of a fixed list given one argument of its type: byte 0 the
// conversion, byte 1 the flags "-+ #0" (bit 7: no precision), bytes 2 and 3 width
// and precision (250 and up: 65,530 to 65,540, around the 65,536 cap), byte 4 the
// size prefix, byte 5 the buffer size, then the value. The text stays within its
// width or precision plus the longest number, and a buffer of any size gets the
// text's prefix under the snformat contract, never more.
#include "core/format.h"
#include "xml/markup_check.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kSizes[] = {"",  "h", "hh", "I32", "l", "ll", "I64",
                                         "I", "z", "j",  "t",   "w", "L"};
    static const wchar16 wide[] = {'a', 0xE9, 0x4E2D, 0xD83D, 0xDE00, 0};
    const auto field = [](uint8_t b) { return b < 250 ? b : 65530 + (b - 250) * 2; };
    for (int k = 0; k < 8 && size >= 14; ++k, data += 14, size -= 14) {
        // The argument: 0 double, 1 pointer, 2 narrow text, 3 wide text, 4 long long, 5 int.
        const char conv = "dXfeascp"[data[0] & 7];
        int kind = "55000251"[data[0] & 7] - '0';
        const size_t sz = kind == 0 ? size_t("\0\4\14"[data[4] % 3]) : data[4] % 13u, cap = data[5];
        const int width = field(data[2]), precision = field(data[3]);
        std::string f = "%";
        for (int i = 0; i < 5; ++i)
            if (data[1] >> i & 1) f += "-+ #0"[i];
        f += std::to_string(width) + (data[1] & 128 ? "" : "." + std::to_string(precision));
        f += kSizes[sz] + std::string(1, conv);
        uint64_t v;
        double d;
        std::memcpy(&v, data + 6, 8), std::memcpy(&d, data + 6, 8);
        if (kind == 5 && sz >= 4 && sz != 11 && conv != 'c') kind = 4;
        if (kind == 2 && sz != 1 && sz != 2) kind = 3;
        const auto go = [&](auto arg) {
            const wstring16 fmt(f.begin(), f.end()), all = pf::format(fmt.c_str(), arg);
            REQUIRE(all.size() <= size_t(std::min(std::max(width, precision), 65536) + 400));
            std::vector<wchar16> buf(cap);
            const int r = pf::snformat(buf.data(), cap, fmt.c_str(), arg);
            REQUIRE(r == (all.size() <= cap ? int(all.size()) : -1));
            REQUIRE(wstring16(buf.data(), std::min(cap, all.size())) == all.substr(0, cap));
            REQUIRE(all.size() >= cap || buf[all.size()] == 0);
        };
        if (kind == 0) go(d);
        if (kind == 1) go(reinterpret_cast<void*>(v));
        if (kind == 2) go(v & 1 ? "ab\xE9" : nullptr);
        if (kind == 3) go(v & 1 ? wide : nullptr);
        if (kind == 4) go(static_cast<long long>(v));
        if (kind == 5) go(int(v));
    }
    return 0;
}
