// ZvTextCodec and ZvString's narrow conversions.
#include "core/text_views.h"
#include <pubfunc/zvtextcodec.h>

#include <algorithm>

static const ZvTextCodec utf8(ZvTextCodec::Utf8);

TEST(ZvTextCodec, ToUnicodeKeepsTheLongestCleanPrefix) {
    // Input, length, result, null; whole sequences are converted in
    // LongInputsTakeTheHeapPath. A cut sequence converts to nothing; a negative
    // length converts the terminator too, and with ill-formed input has no shorter
    // length to try.
    const std::tuple<const char*, int, u16, bool> cases[] = {
        // clang-format off
        {"\xE4\xB8\xAD", 2, u"", false}, {"ab\xE4\xB8", 4, u"ab", false},
        {"a\x80" "bc", 4, u"a", false},  {"abc", 0, u"", true},
        {"abc", -1, u16(u"abc") + u'\0', false}, {"ab\x80", -1, u"", false},
        // clang-format on
    };
    for (const auto& [in, len, want, null] : cases) {
        const ZvString s = utf8.toUnicode(in, len);
        EXPECT_EQ(str(s), want) << testing::PrintToString(in) << " length " << len;
        EXPECT_EQ(s.isNull(), null) << testing::PrintToString(in) << " length " << len;
    }
}

// Past the 4096-unit stack buffer, and with an ill-formed byte near the start of a
// megabyte (the clean prefix is found in one pass, not one conversion per byte).
TEST(ZvTextCodec, LongInputsTakeTheHeapPath) {
    // x repeated, then one character, both ways: the 4096-unit and 4096-byte
    // buffers filled exactly, and a pair or a multi-byte sequence across their edge.
    const std::tuple<int, u16, std::string> edges[] = {
        // clang-format off
        {4094, u"\U0001F600", "\xF0\x9F\x98\x80"}, {4095, u"\U0001F600", "\xF0\x9F\x98\x80"},
        {4092, u"\U0001F600", "\xF0\x9F\x98\x80"}, {4093, u"\U0001F600", "\xF0\x9F\x98\x80"},
        {4093, u"\u4E2D", "\xE4\xB8\xAD"},          {4094, u"\u4E2D", "\xE4\xB8\xAD"},
        {4096, u"", ""},
        // clang-format on
    };
    for (const auto& [xs, tail16, tail8] : edges) {
        const u16 wide = u16(size_t(xs), u'x') + tail16;
        const std::string narrow = std::string(size_t(xs), 'x') + tail8;
        const u16 gotWide = str(utf8.toUnicode(narrow.data(), int(narrow.size())));
        const std::string gotNarrow = bytes(Z(wide).toUtf8());
        // From the last two x on: equal tails mean equal sizes too.
        const size_t from = size_t(xs) - 2;
        EXPECT_EQ(gotWide.substr(std::min(from, gotWide.size())), wide.substr(from))
            << "toUnicode of " << xs << " x + " << tail8.size() << " bytes";
        EXPECT_EQ(gotNarrow.substr(std::min(from, gotNarrow.size())), narrow.substr(from))
            << "toUtf8 of " << xs << " x + " << tail16.size() << " units";
    }
    const u16 cjk(3000, u'\u4E2D'); // three bytes a unit: the heap buffer's worst case
    const ZvByteArray cjk8 = Z(cjk).toUtf8();
    EXPECT_EQ(cjk8.size(), 9000);
    EXPECT_EQ(str(ZvString::fromUtf8(cjk8.constData(), cjk8.size())), cjk);
    std::string mega(1 << 20, 'y'); // cut on the heap path
    mega[10] = '\xFF';
    EXPECT_EQ(str(utf8.toUnicode(mega.data(), int(mega.size()))), u"yyyyyyyyyy");
}

TEST(ZvTextCodec, FromUnicodeRules) {
    const unsigned short lone[] = {'a', 0xD800, 'b'}, zeroFirst[] = {0, 'a'};
    // The byte array drops a leading 0 byte.
    const std::tuple<const char*, ZvByteArray, std::string, bool> rows[] = {
#define ROW(call, bytes, null) {#call, call, bytes, null}
        // clang-format off
        ROW(utf8.fromUnicode(W16("ab"), -1), std::string("ab", 3), false), // with the 0 byte
        ROW(utf8.fromUnicode(lone, 3), "a\xEF\xBF\xBD\x62", false),
        ROW(utf8.fromUnicode(zeroFirst, 2), "", false), ROW(ZvString().toUtf8(), "", true),
        ROW(Z(u"").toCap(), "", true),
        // clang-format on
    };
#undef ROW
    for (const auto& [call, got, want, null] : rows) {
        EXPECT_EQ(bytes(got), want) << call;
        EXPECT_EQ(got.isNull(), null) << call;
    }
    EXPECT_EQ(str(ZvString::fromUtf8("a\xFF\x62")), u"a\uFFFDb"); // flags 0 replace
}

// The system code page is 1252 on the Windows build (Wine's pinned locale) and
// UTF-8 on Linux, so non-ASCII text has one expectation per build. 81 and 8D are
// C1 controls in 1252 and a cut sequence in UTF-8.
TEST(ZvTextCodec, SystemCodePageDiffersPerBuild) {
#if defined(_WIN32)
    const std::string narrow = "\xE9!";
    const u16 controls = u"a\u0081\u008Db";
#else
    const std::string narrow = "\xC3\xA9!";
    const u16 controls = u"a";
#endif
    const ZvString e = ZvString::fromWCharArray(W16("\u00e9!"), -1);
    const ZvTextCodec cap(ZvTextCodec::Cap);
    EXPECT_EQ(bytes(e.toCap()), narrow);
    EXPECT_TRUE(e == narrow.c_str());
    EXPECT_TRUE(ZvString::fromAscii(narrow.c_str()) == e);
    EXPECT_EQ(str(cap.toUnicode(narrow.c_str(), int(narrow.size()))), u"\u00e9!");
    EXPECT_EQ(str(cap.toUnicode("a\x81\x8D\x62", 4)), controls);
}
