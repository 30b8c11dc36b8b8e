// CMarkup through the library's exports: escaping, the UTF-8/UTF-16 codec, files
// and the declared encoding.
#include "xml/markup_text_views.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

// Text in, text out: escape rows take flags, unescape rows a length (-1: to the
// terminator); the encoding named by a leading XML declaration takes neither.
TEST(CMarkupText, EscapeUnescapeAndDeclaredEncoding) {
    typedef wstring16 (*Service)(CMarkup::MCD_CSTR, int);
    const Service esc = CMarkup::EscapeText, unesc = CMarkup::UnescapeText;
    const Service enc = [](auto text, int) { return CMarkup::GetDeclaredEncoding(text); };
    const int kQuotes = CMarkup::NF_ESCAPE_QUOTES, kRefs = CMarkup::NF_WITH_REFS;
    const std::tuple<Service, const char*, int, const char*> cases[] = {
        {esc, "a<b&c>d", 0, "a&lt;b&amp;c&gt;d"},
        {esc, "'\"", 0, "'\""},
        {esc, "'\"", kQuotes, "&apos;&quot;"},
        {esc, "&amp;&#x41;&_a:b-c.9;", kRefs, "&amp;&#x41;&_a:b-c.9;"},
        {esc, "& x; &a b; &a", kRefs, "&amp; x; &amp;a b; &amp;a"},
        {esc, "&a#b; &##;", kRefs, "&amp;a#b; &amp;##;"}, // '#' only first
        {unesc, "&lt;&#65;&#x42;&nbsp;", -1, "<AB&nbsp;"},
        {unesc, "&#X41;", -1, "&#X41;"},           // upper-case X is no hex marker
        {unesc, "&LT;&lt", -1, "&LT;&lt"},         // case-sensitive, ';' required
        {unesc, "&#0;&#;&#x;", -1, "&#0;&#;&#x;"}, // a zero value is no reference
        {unesc, "&#1048641;", -1, "A"},            // 7 digits reach the ';' (0x100041)
        {unesc, "&#12345678;", -1, "&#12345678;"}, // 8 digits do not
        {unesc, "&#x10041;", -1, "A"},             // above 0xFFFF the low 16 bits stay
        {unesc, "&#65;", 4, "A"},                  // a numeric reference may end past it
        {enc, "<?xml version=\"1.0\" encoding=\"GB2312\"?><r/>", 0, "GB2312"},
        {enc, " \r\n<?xml encoding='UTF-8' ?>", 0, "UTF-8"},
        {enc, "<root><?xml encoding='x'?></root>", 0, ""},
        {enc, "?> <?xml encoding='x'?>", 0, ""},
        {enc, "<?xml encoding='x'", 0, ""},
    };
    for (const auto& [service, in, arg, out] : cases)
        EXPECT_EQ(A(service(W(in).c_str(), arg)), out) << in << ", " << arg;
}

// Files hold UTF-8 with no byte-order mark handling. A read converts every byte up
// to a 0 byte, counted and then filled, in place of the text it had: a mark stays as
// U+FEFF, a byte below 0x80 inside a sequence is left for the next character, F8 and
// above open nothing, leads are told by three bits and overlong forms pass, and a
// sequence cut by the end is dropped. Save and Load report the counts, and Load the
// parse message after them.
TEST(CMarkupText, CharacterCodecAndFiles) {
    // A run of eight ASCII bytes, the last character of two and three bytes and the
    // first of four.
    const std::string utf8 = "<ascii/>\xDF\xBF\xEF\xBF\xBF\xF0\x90\x80\x80";
    const wstring16 utf16 = W("<ascii/>") + wstring16({0x7FF, 0xFFFF, 0xD800, 0xDC00});
    const std::pair<std::string, wstring16> files[] = {
        {utf8, utf16},
        {"\xEF\xBB\xBF<r>\xC3\xA9</r>", {0xFEFF, '<', 'r', '>', 0xE9, '<', '/', 'r', '>'}},
        {"\xC3\x28", W("?(")},
        {"\xF8\x81\x81\x81", W("?A")},
        {"\xC1\x81", W("A")},
        {"a\x82\x82", {'a', 0x82}},
        {"a\xE2\x82", W("a")},
        {"a\xE2\x82(", W("a?(")},
        {{"a\0b", 3}, W("a")},
        // Pairs across the old text's 3 units, which are written in place, and across
        // the end of the first 4096-unit piece appended after them.
        {"ab\xF0\x90\x80\x80" + std::string(4093, 'c') + "\xF0\x90\x80\x80",
         W("ab") + wstring16({0xD800, 0xDC00}) + wstring16(4093, 'c') +
             wstring16({0xD800, 0xDC00})},
        {"", W("")}};
    for (const auto& [bytes, expected] : files) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        std::ofstream("markup_read.xml", std::ios::binary) << bytes;
        wstring16 text = W("old"), result;
        ASSERT_TRUE(CMarkup::ReadTextFile(W("markup_read.xml"), text, &result));
        EXPECT_EQ(text, expected);
        EXPECT_EQ(A(result), std::to_string(bytes.size()) + " bytes to " +
                                 std::to_string(expected.size()) + " wide chars");
    }
    std::remove("markup_read.xml");
    wstring16 out(utf16.size() + 1, wchar16(0x7777));
    EXPECT_EQ(CMarkup::UTF8To16(&out[0], utf8.data(), 17), 17); // the bytes consumed
    EXPECT_EQ(out, utf16 + wstring16(1, 0));                    // and a terminator
    const char* p = utf8.c_str() + 8;
    EXPECT_EQ(CMarkup::DecodeCharUTF8(p), 0x7FF);
    EXPECT_EQ(p, utf8.c_str() + 10);

    // UTF-16 to UTF-8, a surrogate before the end becoming '?': in 16 bytes the pair
    // does not fit and a 0 byte follows; in 17 it fits, with no room for the 0.
    const wstring16 text = utf16 + wstring16({'b', 0xD800});
    char buf[32];
    EXPECT_EQ(CMarkup::UTF16To8(buf, text.c_str(), 16), 13);
    EXPECT_EQ(std::string(buf, 14), utf8.substr(0, 13) + std::string(1, '\0'));
    buf[17] = 'x';
    EXPECT_EQ(CMarkup::UTF16To8(buf, text.c_str(), 17), 17);
    EXPECT_EQ(std::string(buf, 18), utf8 + "x");
    EXPECT_EQ(CMarkup::UTF16To8(buf, text.c_str(), 32), 19);
    EXPECT_EQ(std::string(buf, 20), utf8 + "b?" + std::string(1, '\0'));

    // The file's name and text take one, two, three and four bytes per character.
    const wstring16 doc = W("<r>") + wstring16({0xE9, 0x4E2D, 0xD83D, 0xDE00}) + W("&lt;</r>");
    const wstring16 path = W("markup_round_") + wstring16({0xE9, 0x4E2D}) + W(".xml");
    CMarkup m(doc);
    ASSERT_TRUE(m.Save(path));
    EXPECT_EQ(A(m.GetError()), "15 wide chars to 20 bytes");
    CMarkup loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(loaded.GetDoc(), doc);
    ASSERT_TRUE(CMarkup::WriteTextFile(path, W("  ")));
    EXPECT_FALSE(loaded.Load(path));
    EXPECT_EQ(A(loaded.GetError()), "2 bytes to 2 wide chars, No root element");
}

// Each failure leaves the runtime's message for its error: a missing file, a folder,
// a file that yields less than its size (sysfs gives its attributes the size of a
// page; Wine shows the host's files on drive Z:), and one past the int counts (sparse:
// 4 GiB and 10 bytes, which a 32-bit size would take for 10).
TEST(CMarkupText, FailedTransfersKeepTheDocument) {
#if defined(_WIN32)
    const std::string root = "Z:";
#else
    const std::string root;
#endif
    const std::pair<std::string, int> failures[] = {{"markup_no_such_folder/x.xml", ENOENT},
                                                    {".", root.empty() ? EISDIR : EACCES},
                                                    {root + "/sys/devices/system/cpu/online", EIO},
                                                    {"markup_4gib.xml", EFBIG}};
    std::ofstream("markup_4gib.xml").close();
    std::filesystem::resize_file("markup_4gib.xml", (1ull << 32) + 10);
    CMarkup m(W16("<r/>"));
    ASSERT_TRUE(m.FindElem());
    for (const auto& [path, error] : failures) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(m.Load(W(path)));
        EXPECT_EQ(A(m.GetDoc()), "<r/>");
        EXPECT_EQ(A(m.GetTagName()), "r"); // the index and cursor too
        EXPECT_EQ(A(m.GetError()), std::strerror(error));
    }
    std::filesystem::remove("markup_4gib.xml");
    EXPECT_FALSE(m.Save(W("markup_no_such_folder/x.xml")));
    EXPECT_EQ(A(m.GetError()), std::strerror(ENOENT));
#if !defined(_WIN32)
    // Only Linux has /dev/full, where every write fails for want of space; the few
    // bytes wait in the stream's buffer, so the close is what fails.
    EXPECT_FALSE(m.Save(W16("/dev/full")));
    EXPECT_EQ(A(m.GetError()), std::strerror(ENOSPC));
#endif
}
