// pubfunc's text functions and hotkey text.
#include <pubfunc/pubfunc.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

// Lengths: -1 runs to the terminator, which the result drops (toUtf8String keeps
// it); a given length counts units or bytes, not characters. Code page 0 is the
// system's: UTF-8 on Linux, 1252 under Wine's pinned locale, where a character
// outside the page becomes '?'.
TEST(pubfunc, CodePageConversionsCutAtLength) {
    EXPECT_EQ(pubfunc::toWideString("abc", -1, 65001), W16("abc"));
    EXPECT_EQ(pubfunc::toNarrowString(W16("abc"), 2, 0), "ab");
    EXPECT_EQ(pubfunc::toNarrowString(W16("abc"), -1, 65001), "abc");
    EXPECT_EQ(pubfunc::toNarrowString(W16("\u00E9\u4E2D\U0001F600"), 4, 65001),
              "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(pubfunc::toWideString("\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", 9, 65001),
              W16("\u00E9\u4E2D\U0001F600"));
    EXPECT_EQ(pubfunc::toUtf8String(W16("\u00E9")), "\xC3\xA9\0"s);
#if defined(_WIN32)
    EXPECT_EQ(pubfunc::toNarrowString(W16("\u00E9\u4E2D"), -1, 0), "\xE9?");
    EXPECT_EQ(pubfunc::toWideString("\xE9", 1, 0), W16("\u00E9"));
#else
    EXPECT_EQ(pubfunc::toNarrowString(W16("\u00E9\u4E2D"), -1, 0), "\xC3\xA9\xE4\xB8\xAD");
    EXPECT_EQ(pubfunc::toWideString("\xE9", 1, 0), W16("\uFFFD"));
#endif
}

// Percent-encoding keeps letters, digits and '.', whatever the locale, and stops at
// a NUL; the wide form encodes UTF-8.
TEST(pubfunc, URLEncode2KeepsLettersDigitsAndDot) {
    EXPECT_EQ(pubfunc::URLEncode2("AZaz09. @[`{/:-_~+%\x7F\x80\xFF"),
              "AZaz09.%20%40%5B%60%7B%2F%3A%2D%5F%7E%2B%25%7F%80%FF");
    EXPECT_EQ(pubfunc::URLEncode2("ab\0cd"s), "ab");
    EXPECT_EQ(pubfunc::URLEncode2(wstring16(W16("\u00E9 \u4E2D"))), "%C3%A9%20%E4%B8%AD");
    EXPECT_EQ(pubfunc::URLEncode2(W16("a\0b"s)), "a");
}

// The text helpers, and GetRandomNum's range (its ends in either order).
TEST(pubfunc, SmallFunctions) {
    EXPECT_EQ(pubfunc::getHashString("\x0F\xA0", 2), "0fa0");
    EXPECT_EQ(pubfunc::getHashString(std::string(33, '\xAB').c_str(), 33).substr(60), "ababab");
    // Pieces go after what out already holds; an empty separator keeps text whole.
    const auto split = [](const wchar16* text, const wchar16* separator) {
        std::vector<wstring16> out{W16("kept")};
        pubfunc::splitString(text, separator, out);
        return out;
    };
    using Pieces = std::vector<wstring16>;
    EXPECT_EQ(split(W16("a||b"), W16("|")), (Pieces{W16("kept"), W16("a"), W16(""), W16("b")}));
    EXPECT_EQ(split(W16("a|"), W16("|")), (Pieces{W16("kept"), W16("a"), W16("")}));
    EXPECT_EQ(split(W16(""), W16("|")), (Pieces{W16("kept"), W16("")}));
    EXPECT_EQ(split(W16("a|b"), W16("")), (Pieces{W16("kept"), W16("a|b")}));
    EXPECT_TRUE(pubfunc::hasChinese(W16("x\u4E00")));
    EXPECT_TRUE(pubfunc::hasChinese(W16("\u9FBF")));
    EXPECT_FALSE(pubfunc::hasChinese(W16("\u9FC0\u4DFF\u3400")));
    EXPECT_EQ(pubfunc::getFileExtensionName(W16("a/archive.tar.gz")), W16("gz"));
    EXPECT_EQ(pubfunc::getFileExtensionName(W16("noext")), W16(""));
    EXPECT_EQ(pubfunc::getFileNameFromUrl(W16("http://h/p/f.flv?x=1")), W16("f.flv?x=1"));
    EXPECT_EQ(pubfunc::getFileNameFromUrl(W16("a\\b.flv")), W16(""));
    EXPECT_EQ(pubfunc::GetRandomNum(5, 5), 5u);
    EXPECT_EQ(pubfunc::GetRandomNum(9, 3), 3u);
    const unsigned small = pubfunc::GetRandomNum(1, 10); // scaled from a second draw
    EXPECT_GE(small, 1u);
    EXPECT_LE(small, 10u);
}

// Every combination of the three flags with Space, Backspace, Delete and A, then
// the hotkey text's own names.
TEST(pubfunc, ChangeHotkeyValueToStringNamesEachCombination) {
    const wstring16 none = W16("\u65E0");
    // clang-format off
    const wstring16 mods[8] = {W16(""), W16("Shift"), W16("Ctrl"), W16("Ctrl+Shift"), W16("Alt"),
                               W16("Alt+Shift"), W16("Ctrl+Alt"), W16("Ctrl+Alt+Shift")};
    for (unsigned flags = 0; flags < 8; ++flags) {
        EXPECT_EQ(pubfunc::changeHotkeyValueToString(flags << 16 | 0x20), flags ? mods[flags] : none) << flags;
        EXPECT_EQ(pubfunc::changeHotkeyValueToString(flags << 16 | 0x08), none) << flags;
        EXPECT_EQ(pubfunc::changeHotkeyValueToString(flags << 16 | 0x2E), none) << flags;
        EXPECT_EQ(pubfunc::changeHotkeyValueToString(flags << 16 | 0x41), flags ? mods[flags] + W16("+A") : W16("A")) << flags;
    }
    const std::pair<unsigned, const wchar16*> names[] = {
        {0x60074, W16("Ctrl+Alt+F5")}, {0x21, W16("PageUp")}, {0x2005B, W16("Ctrl+")}, {0x35, W16("5")},
        {0x2006C, W16("Ctrl+")}, {0xDC, W16("\\")}, {0xC0, W16("`")}, {0x90, W16("Num Lock")},
        {0x6F, W16("Num/")}, {0x14, W16("Caps Lock")}, {0xDE, W16("'")}};
    // clang-format on
    for (const auto& [value, want] : names)
        EXPECT_EQ(pubfunc::changeHotkeyValueToString(value), want) << std::hex << value;
}
