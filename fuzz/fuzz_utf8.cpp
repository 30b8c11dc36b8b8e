// fuzz_utf8: the library's UTF-8 codec, through the code-page functions over code
// page 65001, by its properties: a conversion under the error flag fails exactly
// when the plain one replaces something; sizes stay within one unit per byte and
// three bytes per unit, and output fills a buffer of exactly that size; well-formed
// text round-trips, and so does UTF-16 with no lone surrogate.
#include "platform/codepage.h"
#include "platform/utf8.h"
#include "xml/markup_check.h"

#include <cstdint>
#include <cstring>
#include <vector>

using namespace pf::platform;
typedef std::vector<unsigned short> Units;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* s = reinterpret_cast<const char*>(data);
    const int n = int(size);
    if (n == 0) return 0;
    const bool replaced = pf::utf8::decode(data, size, nullptr, 0).replaced;
    const int units = multiByteToWide(kCodePageUtf8, 0, s, n, nullptr, 0);
    REQUIRE(units > 0);
    REQUIRE(units <= n);
    REQUIRE((multiByteToWide(kCodePageUtf8, kMbErrInvalidChars, s, n, nullptr, 0) == 0) ==
            replaced);
    REQUIRE((cleanPrefix(kCodePageUtf8, s, n) == n) == !replaced);
    Units w(static_cast<size_t>(units));
    REQUIRE(multiByteToWide(kCodePageUtf8, 0, s, n, w.data(), units) == units);
    const int bytes = wideToMultiByte(kCodePageUtf8, 0, w.data(), units, nullptr, 0);
    REQUIRE(bytes > 0);
    REQUIRE(bytes <= 3 * units);
    std::vector<char> back(static_cast<size_t>(bytes));
    REQUIRE(wideToMultiByte(kCodePageUtf8, 0, w.data(), units, back.data(), bytes) == bytes);
    REQUIRE(replaced || (bytes == n && std::memcmp(back.data(), s, size) == 0));
    // The same bytes read as UTF-16 units.
    Units u(size / 2 + 1);
    std::memcpy(u.data(), data, size / 2 * 2);
    const int un = n / 2, need = wideToMultiByte(kCodePageUtf8, 0, u.data(), un, nullptr, 0);
    if (un == 0 ||
        wideToMultiByte(kCodePageUtf8, kWcErrInvalidChars, u.data(), un, nullptr, 0) == 0)
        return 0;
    std::vector<char> utf8(static_cast<size_t>(need));
    REQUIRE(wideToMultiByte(kCodePageUtf8, 0, u.data(), un, utf8.data(), need) == need);
    Units again(static_cast<size_t>(un));
    REQUIRE(multiByteToWide(kCodePageUtf8, kMbErrInvalidChars, utf8.data(), need, again.data(),
                            un) == un);
    REQUIRE(std::memcmp(again.data(), u.data(), size_t(un) * 2) == 0);
    return 0;
}
