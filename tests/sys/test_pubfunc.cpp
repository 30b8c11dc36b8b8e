// pubfunc's text functions and hotkey text.
#include <pubfunc/pubfunc.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace std::string_literals;

TEST(pubfunc, CodePageConversionsCutAtLengthAndDropTheTerminator) {
    const wstring16 abc = W16("abc");
    // clang-format off
    EXPECT_EQ(pubfunc::toWideString("abc", -1, 65001), abc);
    EXPECT_EQ(pubfunc::toWideString("abc", -5, 65001), W16(""));
    EXPECT_EQ(pubfunc::toWideString(nullptr, -1, 65001), W16(""));
    EXPECT_EQ(pubfunc::toWideString("abc", 0, 65001), W16(""));
    EXPECT_EQ(pubfunc::toWideString("a\xC3\xA9\xF0\x9F\x98\x80", 7, 65001), W16("a\u00E9\U0001F600"));
    EXPECT_EQ(pubfunc::toNarrowString(abc.c_str(), 2, 0), "ab");
    EXPECT_EQ(pubfunc::toNarrowString(abc.c_str(), -1, 65001), "abc");
    EXPECT_EQ(pubfunc::toNarrowString(abc.c_str(), -2, 65001), "");
    EXPECT_EQ(pubfunc::toUtf8String(abc.c_str()), "abc\0"s);
    EXPECT_EQ(pubfunc::toUtf8String(W16("")), "\0"s);
    EXPECT_EQ(pubfunc::toUtf8String(nullptr), "");
    // Code page 0 is the system's: UTF-8 on Linux, 1252 under Wine's pinned locale,
    // where a character outside the page becomes '?'.
#if defined(_WIN32)
    EXPECT_EQ(pubfunc::toNarrowString(W16("\u00E9\u4E2D"), -1, 0), "\xE9?");
    EXPECT_EQ(pubfunc::toWideString("\xE9", 1, 0), W16("\u00E9"));
#else
    EXPECT_EQ(pubfunc::toNarrowString(W16("\u00E9\u4E2D"), -1, 0), "\xC3\xA9\xE4\xB8\xAD");
    EXPECT_EQ(pubfunc::toWideString("\xE9", 1, 0), W16("\uFFFD"));
#endif
    // clang-format on
}

// Random well-formed UTF-16, surrogate pairs included, to UTF-8 and back.
TEST(pubfunc, Utf8RoundTripsRandomText) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        wstring16 text;
        for (int i = int(rng() % 40); i > 0; --i) {
            const unsigned unit = 1 + rng() % 0xFFFF;
            const bool pair = unit >= 0xD800 && unit <= 0xDFFF;
            text += wchar16(pair ? 0xD800 + unit % 0x400 : unit);
            if (pair) text += wchar16(0xDC00 + rng() % 0x400);
        }
        const std::string utf8 = pubfunc::toNarrowString(text.c_str(), int(text.size()), 65001);
        EXPECT_EQ(pubfunc::toWideString(utf8.c_str(), int(utf8.size()), 65001), text) << round;
        EXPECT_EQ(pubfunc::toUtf8String(text.c_str()), utf8 + '\0') << round;
    }
}

TEST(pubfunc, URLEncode2KeepsLettersDigitsAndDot) {
    const std::pair<std::string, std::string> narrow[] = {
        // clang-format off
        {"a b.c/d", "a%20b.c%2Fd"}, {"AZaz09.-_~+%", "AZaz09.%2D%5F%7E%2B%25"},
        {"\x7F\x80\xFF", "%7F%80%FF"}, {"ab\0cd"s, "ab"}, {"", ""},
        // clang-format on
    };
    for (const auto& [in, want] : narrow)
        EXPECT_EQ(pubfunc::URLEncode2(in), want) << testing::PrintToString(in);
    EXPECT_EQ(pubfunc::URLEncode2(wstring16(W16("\u00E9 \u4E2D"))), "%C3%A9%20%E4%B8%AD");
    EXPECT_EQ(pubfunc::URLEncode2(W16("a\0b"s)), "a");
}

// The text helpers, and GetRandomNum's range (its ends in either order).
TEST(pubfunc, SmallFunctions) {
    EXPECT_EQ(pubfunc::getHashString("\x0F\xA0", 2), "0fa0");
    EXPECT_EQ(pubfunc::getHashString("\x01", 0), "");
    EXPECT_EQ(pubfunc::getHashString(std::string(33, '\xAB').c_str(), 33).substr(60), "ababab");
    // Pieces go after what out already holds; an empty separator keeps text whole.
    const std::tuple<const wchar16*, const wchar16*, std::vector<wstring16>> splits[] = {
        // clang-format off
        {W16("a||b"), W16("|"), {W16("kept"), W16("a"), W16(""), W16("b")}},
        {W16("a|"), W16("|"), {W16("kept"), W16("a"), W16("")}},
        {W16(""), W16("|"), {W16("kept"), W16("")}},
        {W16("a|b"), W16(""), {W16("kept"), W16("a|b")}},
        // clang-format on
    };
    for (const auto& [in, separator, want] : splits) {
        std::vector<wstring16> out{W16("kept")};
        pubfunc::splitString(in, separator, out);
        EXPECT_EQ(out, want) << testing::PrintToString(wstring16(in));
    }
    EXPECT_TRUE(pubfunc::hasChinese(W16("x\u4E00")));
    EXPECT_TRUE(pubfunc::hasChinese(W16("\u9FBF")));
    EXPECT_FALSE(pubfunc::hasChinese(W16("\u9FC0\u4DFF\u3400")));
    EXPECT_EQ(pubfunc::getFileExtensionName(W16("a/archive.tar.gz")), W16("gz"));
    EXPECT_EQ(pubfunc::getFileExtensionName(W16("noext")), W16(""));
    EXPECT_EQ(pubfunc::getFileNameFromUrl(W16("http://h/p/f.flv?x=1")), W16("f.flv?x=1"));
    EXPECT_EQ(pubfunc::getFileNameFromUrl(W16("a\\b.flv")), W16(""));
    EXPECT_EQ(pubfunc::GetRandomNum(5, 5), 5u);
    EXPECT_EQ(pubfunc::GetRandomNum(9, 3), 3u);
    const std::pair<unsigned, unsigned> ranges[] = {
        {1, 10}, {0, 0xFFFFFFFFu}, {0xFFFFFFF0u, 0xFFFFFFFFu}, {100, 40000}};
    for (const auto& [low, high] : ranges) {
        const unsigned r = pubfunc::GetRandomNum(low, high);
        EXPECT_GE(r, low) << low << ".." << high;
        EXPECT_LE(r, high) << low << ".." << high;
    }
}

// Every combination of the three flags with Space, Backspace, Delete and A, then
// the hotkey text's own names.
TEST(pubfunc, ChangeHotkeyValueToStringNamesEachCombination) {
    const wstring16 none = W16("\u65E0");
    // clang-format off
    const wstring16 mods[8] = {W16(""), W16("Shift"), W16("Ctrl"), W16("Ctrl+Shift"), W16("Alt"),
                               W16("Alt+Shift"), W16("Ctrl+Alt"), W16("Ctrl+Alt+Shift")};
    for (unsigned flags = 0; flags < 8; ++flags) {
        const unsigned high = flags << 16;
        EXPECT_EQ(pubfunc::changeHotkeyValueToString(high | 0x20), flags ? mods[flags] : none) << flags;
        EXPECT_EQ(pubfunc::changeHotkeyValueToString(high | 0x08), none) << flags;
        EXPECT_EQ(pubfunc::changeHotkeyValueToString(high | 0x2E), none) << flags;
        EXPECT_EQ(pubfunc::changeHotkeyValueToString(high | 0x41), flags ? mods[flags] + W16("+A") : W16("A")) << flags;
    }
    const std::pair<unsigned, const wchar16*> names[] = {
        {0x60074, W16("Ctrl+Alt+F5")}, {0x21, W16("PageUp")}, {0x2005B, W16("Ctrl+")}, {0x35, W16("5")},
        {0x2006C, W16("Ctrl+")}, {0xDC, W16("\\")}, {0xC0, W16("`")}, {0x90, W16("Num Lock")},
        {0x6F, W16("Num/")}, {0x14, W16("Caps Lock")}, {0xDE, W16("'")}};
    // clang-format on
    for (const auto& [value, want] : names)
        EXPECT_EQ(pubfunc::changeHotkeyValueToString(value), want) << std::hex << value;
}
