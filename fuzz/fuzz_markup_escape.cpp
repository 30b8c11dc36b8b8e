// fuzz_markup_escape: CMarkup::EscapeText and UnescapeText. Byte 0 holds the escape
// flags, byte 1 a length; the rest is the text, one unit per byte (0 ends it).
// Unescaping what was escaped without NF_WITH_REFS gives the text back; with it,
// a text without '&' escapes as it would without; an escaped text holds no '<'
// and no '>'; unescaping a length gives at most that many units, and reads that
// prefix alone unless a numeric reference starts in it (its ';' may lie past).
#include "xml/markup_check.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int flags =
        (data[0] & 1 ? CMarkup::NF_ESCAPE_QUOTES : 0) | (data[0] & 2 ? CMarkup::NF_WITH_REFS : 0);
    wstring16 text(data + 2, data + size);
    text.resize(std::min(text.size(), text.find(wchar16(0))));
    const wstring16 escaped = CMarkup::EscapeText(text, flags);
    REQUIRE(escaped.find_first_of(W16("<>")) == wstring16::npos);
    if (!(flags & CMarkup::NF_WITH_REFS)) REQUIRE(CMarkup::UnescapeText(escaped) == text);
    if (text.find('&') == wstring16::npos)
        REQUIRE(escaped == CMarkup::EscapeText(text, flags & ~CMarkup::NF_WITH_REFS));
    const int length = std::min(int(data[1]), int(text.size()));
    const wstring16 cut = CMarkup::UnescapeText(text, length);
    REQUIRE(cut.size() <= size_t(length));
    if (text.find(W16("&#")) >= size_t(length))
        REQUIRE(cut == CMarkup::UnescapeText(text.substr(0, size_t(length))));
    return 0;
}
