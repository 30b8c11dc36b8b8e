// fuzz_utf8: the library's UTF-8 codec, through the code-page functions over code
// page 65001, by its properties: a conversion under the error flag fails exactly
// when the plain one replaces something; sizes stay within one unit a byte and
// three bytes a unit, and fill buffers of exactly that size; well-formed text
// round-trips, and so does the input read as UTF-16 when no surrogate is alone.
#include "platform/codepage.h"
#include "platform/utf8.h"
#include "xml/markup_check.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace pf::platform;
typedef std::vector<unsigned short> Units;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string s(reinterpret_cast<const char*>(data), size);
    const int n = int(size), units = multiByteToWide(kCodePageUtf8, 0, s.data(), n, nullptr, 0);
    const bool replaced = pf::utf8::decode(data, size, nullptr, 0).replaced;
    if (n < 2) return 0; // the code-page functions refuse an empty input
    REQUIRE(units <= n);
    REQUIRE((multiByteToWide(kCodePageUtf8, kMbErrInvalidChars, s.data(), n, nullptr, 0) == 0) ==
            replaced);
    REQUIRE((cleanPrefix(kCodePageUtf8, s.data(), n) == n) == !replaced);
    const auto toUtf8 = [](const Units& w) {
        std::vector<char> out(
            size_t(wideToMultiByte(kCodePageUtf8, 0, w.data(), int(w.size()), nullptr, 0)));
        REQUIRE(out.size() <= 3 * w.size());
        REQUIRE(wideToMultiByte(kCodePageUtf8, 0, w.data(), int(w.size()), out.data(),
                                int(out.size())) == int(out.size()));
        return std::string(out.begin(), out.end());
    };
    Units w(size_t(units), 0);
    REQUIRE(multiByteToWide(kCodePageUtf8, 0, s.data(), n, w.data(), units) == units);
    REQUIRE(replaced || toUtf8(w) == s);
    // The same bytes read as UTF-16 units.
    w.assign(size / 2, 0);
    std::memcpy(w.data(), data, size / 2 * 2);
    if (wideToMultiByte(kCodePageUtf8, kWcErrInvalidChars, w.data(), int(w.size()), nullptr, 0) ==
        0)
        return 0;
    const std::string utf8 = toUtf8(w);
    Units again(w.size(), 0);
    REQUIRE(multiByteToWide(kCodePageUtf8, kMbErrInvalidChars, utf8.data(), int(utf8.size()),
                            again.data(), int(w.size())) == int(w.size()));
    REQUIRE(again == w);
    return 0;
}
