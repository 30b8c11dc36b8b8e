// CMarkup through the library's exports: escaping, the UTF-8/UTF-16 codec, files
// and the declared encoding.
#include <pubfunc/markup.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
wstring16 W(const std::string& s) {
    return wstring16(s.begin(), s.end());
}
std::string A(const wstring16& s) {
    return std::string(s.begin(), s.end());
}
// Files live in the test's working folder, one name per test.
void writeBytes(const char* name, const std::string& bytes) {
    FILE* f = std::fopen(name, "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A file that cannot seek, open for writing while this lives so that opening it to
// read does not wait: a FIFO, or a named pipe on Windows.
struct Pipe {
#if defined(_WIN32)
    const std::string path = "\\\\.\\pipe\\markup_pipe";
    const HANDLE server =
        CreateNamedPipeA(path.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ~Pipe() {
        CloseHandle(server);
    }
#else
    const std::string path = "markup_pipe";
    int fd;
    Pipe() {
        unlink(path.c_str()); // a FIFO left by an interrupted run has no writer
        mkfifo(path.c_str(), 0600);
        fd = open(path.c_str(), O_RDWR);
    }
    ~Pipe() {
        close(fd);
        unlink(path.c_str());
    }
#endif
};
} // namespace

TEST(CMarkupText, EscapeAndUnescape) {
    const int Q = CMarkup::NF_ESCAPE_QUOTES, R = CMarkup::NF_WITH_REFS;
    const struct {
        const char* in;
        int flags;
        const char* out;
    } escapes[] = {
        {"a<b&c>d", 0, "a&lt;b&amp;c&gt;d"},
        {"'\"", 0, "'\""},
        {"'\"", Q, "&apos;&quot;"},
        {"&amp;&#x41;&_a:b-c.9;", R, "&amp;&#x41;&_a:b-c.9;"},
        {"& x; &a b; &a", R, "&amp; x; &amp;a b; &amp;a"},
        {"&a#b; &##;", R, "&amp;a#b; &amp;##;"}, // '#' only first
        {"&amp;", 0, "&amp;amp;"},
    };
    for (const auto& e : escapes)
        EXPECT_EQ(A(CMarkup::EscapeText(W(e.in), e.flags)), e.out) << e.in;
    EXPECT_EQ(A(CMarkup::EscapeText(nullptr)), "");

    const struct {
        const char* in;
        int length;
        const char* out;
    } unescapes[] = {
        {"&lt;&#65;&#x42;&nbsp;", -1, "<AB&nbsp;"},
        {"&#X41;", -1, "&#X41;"}, // upper-case X is no hex marker
        {"&amp;&apos;&quot;&gt;", -1, "&'\">"},
        {"&LT;&lt", -1, "&LT;&lt"},         // case-sensitive, ';' required
        {"&#0;&#;&#x;", -1, "&#0;&#;&#x;"}, // a zero value is no reference
        {"&#12345678;", -1, "&#12345678;"}, // 8 digits do not
        {"&#x10041;", -1, "A"},             // above 0xFFFF the low 16 bits stay
        {"&lt;&lt;", 7, "<&lt"},            // the second reference would pass the length
        {"&#65;", 4, "A"},                  // a numeric one may end past it
    };
    for (const auto& u : unescapes)
        EXPECT_EQ(A(CMarkup::UnescapeText(W(u.in), u.length)), u.out) << u.in;
    // Seven digits still reach the ';'; 1234567 is 0x12D687.
    EXPECT_EQ(CMarkup::UnescapeText(W("&#1234567;")), wstring16(1, wchar16(0xD687)));
}

TEST(CMarkupText, CharacterCodec) {
    // Code point, its UTF-8 bytes, its UTF-16 unit count; both ways.
    const struct {
        int c;
        const char* utf8;
        int units;
    } chars[] = {{0x41, "\x41", 1},
                 {0x7FF, "\xDF\xBF", 1},
                 {0x20AC, "\xE2\x82\xAC", 1},
                 {0xFFFF, "\xEF\xBF\xBF", 1},
                 {0x1F600, "\xF0\x9F\x98\x80", 2}};
    for (const auto& ch : chars) {
        char bytes[8] = {};
        wchar16 units[3] = {};
        int n = 0, u = 0;
        CMarkup::EncodeCharUTF8(ch.c, bytes, n);
        CMarkup::EncodeCharUTF16(ch.c, units, u);
        EXPECT_EQ(std::string(bytes, size_t(n)), ch.utf8);
        EXPECT_EQ(u, ch.units);
        const char* p = bytes;
        const wchar16* q = units;
        EXPECT_EQ(CMarkup::DecodeCharUTF8(p) + CMarkup::DecodeCharUTF16(q), 2 * ch.c);
        EXPECT_TRUE(p == bytes + n && q == units + u);
    }
    const wchar16 cut[] = {0xD83D, 0};
    const wchar16* q = cut;
    EXPECT_EQ(CMarkup::DecodeCharUTF16(q), -1);
    EXPECT_EQ(q, cut + 1);

    // A byte below 0x80 inside a sequence is left for the next character; F8 and
    // above open nothing; leads are told by three bits and overlong forms pass; a
    // sequence cut by the end is dropped; a 0 byte ends the text.
    const struct {
        std::string bytes;
        const char* units;
    } conversions[] = {{"\xC3\x28", "?("}, {"\xF8\x41", "?A"}, {"a\x82\x82", "a\x82"},
                       {"\xC1\x81", "A"},  {"a\xE2\x82", "a"}, {"a\xE2\x82(", "a?("},
                       {{"a\0b", 3}, "a"}};
    for (const auto& c : conversions) {
        const int n = int(c.bytes.size());
        const int units = CMarkup::UTF8To16(nullptr, c.bytes.data(), n);
        wstring16 out(size_t(units) + 1, wchar16(0x7777));
        CMarkup::UTF8To16(&out[0], c.bytes.data(), n);
        EXPECT_EQ(A(out), std::string(c.units) + std::string(1, '\0')) << c.units;
    }

    // The pair does not fit in 5 bytes; a surrogate before the end becomes '?'.
    const wchar16 text[] = {'a', 0xE9, 0xD83D, 0xDE00, 'b', 0xD800, 0};
    char buf[16];
    EXPECT_EQ(CMarkup::UTF16To8(nullptr, text, 0), 9);
    EXPECT_EQ(CMarkup::UTF16To8(buf, text, 5), 3);
    EXPECT_EQ(std::string(buf, 4), std::string("a\xC3\xA9\0", 4));
    EXPECT_EQ(CMarkup::UTF16To8(buf, text, 16), 9);
    EXPECT_EQ(std::string(buf, 10), std::string("a\xC3\xA9\xF0\x9F\x98\x80"
                                                "b?\0",
                                                10));
}

TEST(CMarkupText, ReadTextFileKeepsEveryUnitUpToANul) {
    const struct {
        std::string bytes;
        wstring16 text;
    } files[] = {
        {"\xEF\xBB\xBF<r>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</r>",
         wstring16({0xFEFF, '<', 'r', '>', 0xE9, 0x20AC, 0xD83D, 0xDE00, '<', '/', 'r', '>'})},
        {std::string("<r/>\0<x/>", 9), W("<r/>")},
        {"<r/>\xE2\x82", W("<r/>")},
        {"", W("")},
    };
    const char* name = "markup_read.xml";
    for (const auto& f : files) {
        writeBytes(name, f.bytes);
        wstring16 text = W("old"), result;
        ASSERT_TRUE(CMarkup::ReadTextFile(W(name), text, &result));
        EXPECT_EQ(text, f.text);
        EXPECT_EQ(A(result), std::to_string(f.bytes.size()) + " bytes to " +
                                 std::to_string(f.text.size()) + " wide chars");
    }
    std::remove(name);
}

TEST(CMarkupText, LoadAndSaveRoundTrip) {
    // 5 MB of mixed text: one, two, three and four bytes per character.
    wstring16 doc = W("<r>");
    const wchar16 mix[] = {'a', 0xE9, 0x4E2D, 0xD83D, 0xDE00, '&', 'l', 't', ';', '\n'};
    while (doc.size() < 5 * 1024 * 1024 / 2)
        doc.append(mix, mix + 10);
    doc += W("</r>");
    const wstring16 path = W("markup_round_") + wstring16({0xE9, 0x4E2D}) + W(".xml");
    CMarkup m(doc);
    ASSERT_TRUE(m.Save(path));
    const size_t bytes = (doc.size() - 7) / 10 * 15 + 7;
    EXPECT_EQ(A(m.GetError()),
              std::to_string(doc.size()) + " wide chars to " + std::to_string(bytes) + " bytes");
    CMarkup loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(loaded.GetDoc(), doc);
    EXPECT_EQ(A(loaded.GetError()),
              std::to_string(bytes) + " bytes to " + std::to_string(doc.size()) + " wide chars");
    ASSERT_TRUE(loaded.FindElem());
    EXPECT_EQ(loaded.GetData().size(), (doc.size() - 7) / 10 * 7);

    // Text without elements: the file result, then the parse message.
    ASSERT_TRUE(CMarkup::WriteTextFile(path, W("  ")));
    EXPECT_FALSE(loaded.Load(path));
    EXPECT_EQ(A(loaded.GetError()), "2 bytes to 2 wide chars, No root element");
    wstring16 result, back;
    ASSERT_TRUE(CMarkup::WriteTextFile(path, W(""), &result));
    ASSERT_TRUE(CMarkup::ReadTextFile(path, back, &result));
    EXPECT_EQ(A(result), "0 bytes to 0 wide chars");
}

TEST(CMarkupText, FailedTransfersKeepTheDocument) {
    writeBytes("markup_keep.xml", "<r>\xC3\xA9</r>");
    CMarkup m;
    ASSERT_TRUE(m.Load(W("markup_keep.xml")));
    EXPECT_EQ(A(m.GetError()), "9 bytes to 8 wide chars");
    std::remove("markup_keep.xml");
    m.FindElem();
    // Each failure leaves the runtime's message for its error: a missing file, a
    // folder, a file that cannot seek, and a file that yields less than its size
    // (sysfs gives its attributes the size of a page).
#if defined(_WIN32)
    const std::string root = "Z:"; // where Wine shows the host's files
    const int folderError = EACCES, seekError = EINVAL;
#else
    const std::string root = "";
    const int folderError = EISDIR, seekError = ESPIPE;
#endif
    const Pipe pipe;
    const struct {
        std::string path;
        int error;
    } failures[] = {{"markup_no_such_folder/x.xml", ENOENT},
                    {".", folderError},
                    {pipe.path, seekError},
                    {root + "/sys/devices/system/cpu/online", EIO}};
    for (const auto& f : failures) {
        EXPECT_FALSE(m.Load(W(f.path))) << f.path;
        EXPECT_EQ(m.GetDoc(), wstring16({'<', 'r', '>', 0xE9, '<', '/', 'r', '>'})) << f.path;
        EXPECT_EQ(A(m.GetTagName()), "r") << f.path; // the index and cursor too
        EXPECT_EQ(m.GetError().find_first_of(W("\r\n")), wstring16::npos) << f.path;
        EXPECT_EQ(A(m.GetError()), std::strerror(f.error)) << f.path;
    }
    EXPECT_FALSE(m.Save(W("markup_no_such_folder/x.xml")));
    EXPECT_EQ(A(m.GetError()), "No such file or directory");
    wstring16 untouched = W("x");
    EXPECT_FALSE(CMarkup::ReadTextFile(nullptr, untouched));
    EXPECT_EQ(A(untouched), "x");
}

TEST(CMarkupText, DeclaredEncoding) {
    const struct {
        const char* text;
        const char* encoding;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"GB2312\"?><r/>", "GB2312"},
        {" \r\n<?xml encoding='UTF-8' ?>", "UTF-8"},
        {"<root><?xml encoding='x'?></root>", ""},
        {"<?xml version=\"1.0\"?><r/>", ""},
        {"?><?xml encoding='x'", ""},
        {"<?xml encoding='x'", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(A(CMarkup::GetDeclaredEncoding(W(c.text))), c.encoding) << c.text;
    EXPECT_EQ(A(CMarkup::GetDeclaredEncoding(nullptr)), "");
}

#if !defined(_WIN32)
// /dev/full, where every write fails for want of space, exists on Linux only. The
// few bytes wait in the stream's buffer, so the close is what fails.
TEST(CMarkupText, SaveToAFullDiskFails_Posix) {
    CMarkup m(W16("<r/>"));
    EXPECT_FALSE(m.Save(W16("/dev/full")));
    EXPECT_EQ(A(m.GetError()), std::strerror(ENOSPC));
}
#endif
