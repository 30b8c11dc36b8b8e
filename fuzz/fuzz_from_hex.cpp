// fuzz_from_hex: ZvByteArray::fromHex over any bytes. Its result, written back with
// toHex, must be the input's hex digits in lower case (with a leading 0 when their
// count is odd), and hex text of any bytes must read back as those bytes.
#include "xml/markup_check.h"

#include <pubfunc/zvbytearray.h>

#include <cctype>
#include <cstdint>
#include <string>

static std::string str(const ZvByteArray& a) {
    return std::string(a.constData(), size_t(a.size()));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ZvByteArray input(reinterpret_cast<const char*>(data), int(size));
    std::string digits;
    for (const char c : str(input)) // empty when the first byte is 0
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += char(std::tolower(c));
    if (digits.size() % 2) digits.insert(0, 1, '0');
    const ZvByteArray bytes = ZvByteArray::fromHex(input);
    REQUIRE(size_t(bytes.size()) == digits.size() / 2);
    REQUIRE(str(bytes.toHex()) == digits);
    REQUIRE(str(ZvByteArray::fromHex(input.toHex())) == str(input));
    return 0;
}
