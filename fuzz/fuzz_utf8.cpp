// fuzz_utf8: the library's UTF-8 codec, through the code-page functions over code
// page 65001, by its properties: a conversion under the error flag fails exactly
// when the plain one replaces something; sizes stay within one unit a byte and
// three bytes a unit, and fill buffers of exactly that size; well-formed text
// round-trips both ways, and so does the input read as UTF-16 (the same rules
// with a lone surrogate in place of ill-formed UTF-8).
#include "platform/codepage.h"
#include "platform/utf8.h"
#include "xml/markup_check.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace pf::platform;
typedef std::vector<unsigned short> Units;

// Measures, then converts into a buffer of exactly that size; empty on failure.
template <class Out, class In, class F> Out convert(F f, const In& in, unsigned long flags) {
    Out out(size_t(f(kCodePageUtf8, flags, in.data(), int(in.size()), nullptr, 0)), 0);
    REQUIRE(f(kCodePageUtf8, flags, in.data(), int(in.size()), out.data(), int(out.size())) ==
            int(out.size()));
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0; // the code-page functions refuse an empty input
    const std::string s(reinterpret_cast<const char*>(data), size);
    const bool replaced = pf::utf8::decode(data, size, nullptr, 0).replaced;
    const Units w = convert<Units>(multiByteToWide, s, 0);
    REQUIRE(w.size() <= size);
    REQUIRE(convert<Units>(multiByteToWide, s, kMbErrInvalidChars).empty() == replaced);
    REQUIRE((cleanPrefix(kCodePageUtf8, s.data(), int(size)) == int(size)) == !replaced);
    const std::string back = convert<std::string>(wideToMultiByte, w, 0);
    REQUIRE(back.size() <= 3 * w.size());
    REQUIRE(replaced || back == s);
    // The same bytes read as UTF-16 units.
    Units u(size / 2);
    std::memcpy(u.data(), data, u.size() * 2);
    const bool lone = pf::utf8::encode(u.data(), u.size(), nullptr, 0).replaced;
    REQUIRE(convert<std::string>(wideToMultiByte, u, kWcErrInvalidChars).empty() == lone);
    REQUIRE(lone || convert<Units>(multiByteToWide, convert<std::string>(wideToMultiByte, u, 0),
                                   kMbErrInvalidChars) == u);
    return 0;
}
