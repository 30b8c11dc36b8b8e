// ZvTextCodec, ZvString's narrow conversions, and ZvFileOutputStream.
#include <pubfunc/zvtextcodec.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace {
typedef std::u16string u16;
u16 str(const ZvString& s) {
    return u16(s.constString(), s.constString() + s.size());
}
std::string bytes(const ZvByteArray& a) {
    return std::string(a.constData(), size_t(a.size()));
}
ZvString Z(const u16& s) {
    return ZvString::fromWCharArray(reinterpret_cast<const unsigned short*>(s.c_str()),
                                    int(s.size()));
}
const ZvTextCodec utf8(ZvTextCodec::Utf8);
} // namespace

TEST(ZvTextCodec, ToUnicodeKeepsTheLongestCleanPrefix) {
    struct Case {
        std::string in;
        int len;
        u16 want;
        bool null;
    };
    const Case cases[] = {
        {"\xE4\xB8\xAD", 3, u"\u4E2D", false},
        {"\xE4\xB8\xAD", 2, u"", false}, // cut: nothing converts cleanly
        {"ab\xE4\xB8", 4, u"ab", false},
        {"a\x80"
         "bc",
         4, u"a", false},
        {"abc", 0, u"", true},
        {"abc", -1, u16(u"abc") + u'\0', false}, // the terminator is converted too
        {"ab\x80", -1, u"", false},              // no shorter length to try
        {"\xF0\x9F\x98\x80!", 5, u"\U0001F600!", false},
    };
    for (const Case& c : cases) {
        const ZvString s = utf8.toUnicode(c.in.c_str(), c.len);
        EXPECT_EQ(str(s), c.want) << c.in;
        EXPECT_EQ(s.isNull(), c.null) << c.in;
    }
    const ZvTextCodec unknown(static_cast<ZvTextCodec::Encoding>(2));
    EXPECT_TRUE(unknown.toUnicode("abc", 3).isNull());
    EXPECT_TRUE(unknown.fromUnicode(W16("abc"), 3).isNull());
}

// Past the 4096-unit stack buffer, and with an ill-formed byte near the start of a
// megabyte (the clean prefix is found in one pass, not one conversion per byte).
TEST(ZvTextCodec, LongInputsTakeTheHeapPath) {
    std::string big(5000, 'x');
    big += "\xE4\xB8\xAD";
    EXPECT_EQ(utf8.toUnicode(big.data(), int(big.size())).size(), 5001);
    big += "\xE4";
    const ZvString cut = utf8.toUnicode(big.data(), int(big.size()));
    EXPECT_EQ(cut.size(), 5001);
    EXPECT_EQ(cut.at(5000), 0x4E2D);
    std::string mega(1 << 20, 'y');
    mega[10] = '\xFF';
    EXPECT_EQ(str(utf8.toUnicode(mega.data(), int(mega.size()))), u"yyyyyyyyyy");
    const u16 wide(3000, u'\u4E2D');
    const ZvByteArray out = Z(wide).toUtf8();
    EXPECT_EQ(out.size(), 9000);
    EXPECT_EQ(bytes(out).substr(8997), "\xE4\xB8\xAD");
}

TEST(ZvTextCodec, FromUnicodeRules) {
    EXPECT_TRUE(utf8.fromUnicode(W16("abc"), 0).isNull());
    EXPECT_EQ(bytes(utf8.fromUnicode(W16("ab"), -1)), std::string("ab", 3)); // with the 0 byte
    const unsigned short lone[] = {'a', 0xD800, 'b'};
    EXPECT_EQ(bytes(utf8.fromUnicode(lone, 3)), "a\xEF\xBF\xBD"
                                                "b");
    const unsigned short zeroFirst[] = {0, 'a'};
    const ZvByteArray z = utf8.fromUnicode(zeroFirst, 2);
    EXPECT_TRUE(z.isEmpty() && !z.isNull()); // the byte array drops a leading 0 byte
    EXPECT_TRUE(ZvString().toUtf8().isNull());
    EXPECT_TRUE(ZvString::fromWCharArray(W16(""), 0).toCap().isNull());
    EXPECT_EQ(bytes(ZvString::fromUtf8("\xC3\xA9t\xC3\xA9").toUtf8()), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(str(ZvString::fromUtf8("a\xFF"
                                     "b")),
              u"a\uFFFD"
              "b"); // flags 0 replace
}

// The system code page is 1252 on the Windows build (Wine's pinned locale) and
// UTF-8 on Linux, so non-ASCII text has one expectation per build.
TEST(ZvTextCodec, SystemCodePageDiffersPerBuild) {
    const ZvString e = ZvString::fromWCharArray(W16("\u00e9!"), -1);
#if defined(_WIN32)
    const std::string narrow = "\xE9!";
    const u16 controls = u"a\u0081\u008Db";
#else
    const std::string narrow = "\xC3\xA9!";
    const u16 controls = u"a";
#endif
    EXPECT_EQ(bytes(e.toCap()), narrow);
    EXPECT_EQ(str(ZvString::fromAscii(narrow.c_str())), u"\u00e9!");
    EXPECT_TRUE(e == narrow.c_str());
    const ZvTextCodec cap(ZvTextCodec::Cap);
    EXPECT_EQ(str(cap.toUnicode(narrow.c_str(), int(narrow.size()))), u"\u00e9!");
    // 81 and 8D are C1 controls in 1252, a cut sequence in UTF-8.
    EXPECT_EQ(str(cap.toUnicode("a\x81\x8D"
                                "b",
                                4)),
              controls);
}

TEST(ZvTextCodec, RandomUtf16RoundTripsThroughUtf8) {
    std::mt19937 rng(99);
    for (int round = 0; round < 100; ++round) {
        u16 text;
        for (int i = int(rng() % 6000); i > 0; --i) {
            const unsigned cp = rng() % 4 == 0 ? 0x10000 + rng() % 0x100000 : 1 + rng() % 0xD7FF;
            if (cp > 0xFFFF)
                text +=
                    {char16_t(0xD800 | ((cp - 0x10000) >> 10)), char16_t(0xDC00 | (cp & 0x3FF))};
            else
                text += char16_t(cp);
        }
        const ZvByteArray narrow = Z(text).toUtf8();
        ASSERT_EQ(str(ZvString::fromUtf8(narrow.constData(), narrow.size())), text);
        ASSERT_EQ(str(utf8.toUnicode(narrow.constData(), narrow.size())), text);
    }
}

TEST(ZvFileOutputStream, WritesExactBytesAndFailsQuietly) {
    const char* name = "zvstream_test.bin";
    ZvFileOutputStream out;
    EXPECT_EQ(out.write("x", 1), 0u); // no file yet
    out.close();                      // harmless without a file
    out.open(W16("zvstream_test.bin"));
    EXPECT_EQ(out.write("ab\0\r\n", 5), 1u);
    EXPECT_EQ(out.write("zz", 0), 0u);
    EXPECT_EQ(out.write("\xFF", 1), 1u);
    out.open(W16("zvstream_other.bin")); // closes the first file before opening
    out.close();
    out.close();
    std::FILE* f = std::fopen(name, "rb");
    ASSERT_NE(f, nullptr);
    char back[16];
    const size_t n = std::fread(back, 1, sizeof back, f);
    std::fclose(f);
    EXPECT_EQ(std::string(back, n), std::string("ab\0\r\n\xFF", 6));
    std::remove(name);
    std::remove("zvstream_other.bin");

    out.open(W16("no_such_folder/sub/file.bin"));
    EXPECT_EQ(out.write("x", 1), 0u);
    out.close();
    out.open(W16("zvstream_\u00e9.bin")); // a non-ASCII wide name
    EXPECT_EQ(out.write("x", 1), 1u);
    out.close();
    std::remove(ZvString::fromWCharArray(W16("zvstream_\u00e9.bin"), -1).toCap().constData());
}
