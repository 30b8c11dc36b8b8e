// pubfunc's functions, black-box: text and hotkey text; processes, windows and
// openUrl; the user's folders, configuration and files. The user's folders are
// pointed at a scratch folder first: Linux through HOME and the XDG variables,
// Windows through the user shell folders of the test prefix's registry.
#include <pubfunc/pubfunc.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#if !defined(_WIN32)
#include <sys/syscall.h>
#include <unistd.h>
#define GetCurrentProcessId getpid
#define GetCurrentThreadId() syscall(SYS_gettid)
#endif

using namespace std::string_literals;
namespace fs = std::filesystem;
static const unsigned long g_pid = GetCurrentProcessId();
static const auto g_wide = [](const fs::path& path) { return path.string<wchar16>(); };

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

// Names, switches, process ids (not thread ids) and top-level windows.
TEST(pubfunc, ProcessNamesSwitchesIdsNotThreadsAndWindows) {
    EXPECT_EQ(pubfunc::getExeNameWithoutExt(), W16("pubfunc_tests"));
    EXPECT_FALSE(pubfunc::isMasterExe());
    const std::pair<wstring16, wstring16> qz[] = {
        {W16("a -qzpt \"C:\\q z\\\" -x"), W16("C:\\q z\\")},
        {W16("-qzpt \"C:\\open"), W16("C:\\open")},
        {W16("-qzpt C:\\unquoted"), W16("")},
        {W16("-engine \"e\""), W16("")}};
    for (const auto& [line, want] : qz)
        EXPECT_EQ(pubfunc::getQZPathFromCmdLine(line), want) << testing::PrintToString(line);
    EXPECT_EQ(pubfunc::getOrvexEnginePathFromCmdLine(W16("-qzpt \"q\" -engine \"e\"")), W16("e"));
    // A running thread's id names no process (on Linux /proc has an entry for it).
    EXPECT_TRUE(pubfunc::isProcessExist(g_pid));
    std::thread([] { EXPECT_FALSE(pubfunc::isProcessExist(GetCurrentThreadId())); }).join();
    // Windows of this process (Linux has none): a hidden top-level window, then a
    // visible one with a visible child, and a child below a hidden child.
    HWND out = nullptr;
#if defined(_WIN32)
    const WNDCLASSW wc{0, DefWindowProcW, 0, 0, 0, 0, 0, 0, 0, L"pubfunc_test"};
    RegisterClassW(&wc);
    auto make = [](DWORD style, HWND parent) {
        return CreateWindowW(L"pubfunc_test", L"t", style, 0, 0, 9, 9, parent, 0, 0, 0);
    };
    const HWND hidden = make(WS_OVERLAPPEDWINDOW, nullptr);
    ASSERT_NE(hidden, nullptr);
#endif
    EXPECT_EQ(pubfunc::getProcessMainWnd(g_pid, W16("any")), nullptr);
    EXPECT_EQ(pubfunc::getProcessIDWnd(pubfunc::getExeName(), out, W16("")), 0ul);
#if defined(_WIN32)
    const HWND top = make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr);
    const HWND child = make(WS_CHILD | WS_VISIBLE, top);
    const HWND below = make(WS_CHILD | WS_VISIBLE, make(WS_CHILD, child));
    EXPECT_EQ(pubfunc::getProcessMainWnd(g_pid, L""), top);
    EXPECT_EQ(pubfunc::getProcessIDWnd(L"PUBFUNC_TESTS.EXE", out, L""), g_pid);
    EXPECT_EQ(out, top);
    for (const auto& [from, want] : {std::pair{top, top}, {child, top}, {below, below}})
        EXPECT_EQ(pubfunc::FindWindowTop(from), want) << from;
    pubfunc::showProcessMainWnd(g_pid);
    EXPECT_TRUE(IsWindowVisible(hidden));
#endif
}

// A hostile url reaches the registered browser (the stand-in url_record) as its
// one argument, and no shell reads it.
TEST(pubfunc, OpenUrlThreadPassesOneArgument) {
    const wstring16 url = W16("http://h/a b\"c'd&e|f;g$(touch x)`id`\\\"\\ %1 \u4E2D\\");
    const fs::path dir = fs::temp_directory_path() / ("pubfunc-url-" + std::to_string(g_pid));
    fs::create_directories(dir);
    const fs::path record = dir / "record.txt";
#if defined(_WIN32)
    _wputenv_s(L"PUBFUNC_URL_RECORD", record.c_str());
    const std::wstring command =
        L"\"" + pubfunc::getExePath(pubfunc::moduleExe) + L"\\url_record.exe\" record";
    RegSetValueW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", REG_SZ, command.c_str(), 0);
#else
    setenv("PUBFUNC_URL_RECORD", record.c_str(), 1);
    fs::create_symlink(fs::canonical("/proc/self/exe").parent_path() / "url_record",
                       dir / "xdg-open");
    setenv("PATH", dir.c_str(), 1);
#endif
    EXPECT_FALSE(pubfunc::openUrl(W16("--help")));
    ASSERT_TRUE(pubfunc::openUrl(url));
    for (int i = 0; i < 600 && !fs::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<char> got;
    pubfunc::loadBinaryFile(record.string<wchar16>(), got);
    EXPECT_EQ(std::string(got.begin(), got.end()),
              pubfunc::toNarrowString(url.c_str(), -1, 65001) + "\n");
    fs::remove_all(dir);
}

// One case, since the folders it redirects are the whole process's (on Windows,
// the whole prefix's).
TEST(pubfunc, UserFoldersConfigurationAndFiles) {
    const fs::path root = fs::temp_directory_path() / "pubfunc-folders";
    fs::remove_all(root);
    const fs::path appData = root / "config", documents = root / "home" / "Documents";
#if defined(_WIN32)
    const wchar_t* shellFolders =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    for (const auto& [name, path] : {std::pair{L"AppData", appData}, {L"Personal", documents}})
        RegSetKeyValueW(HKEY_CURRENT_USER, shellFolders, name, REG_SZ, path.c_str(),
                        DWORD((path.native().size() + 1) * 2));
#else
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", appData.c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
#endif
    // The configuration file, first, so that its folder must come from the write
    // path: names in any case, UTF-8 values.
    EXPECT_EQ(pubfunc::getUserConfigString(W16("s"), W16("k"), W16("none")), W16("none"));
    pubfunc::setUserConfigString(W16("Sec"), W16("Key"), W16("\u4E2D\u6587 = x"));
    EXPECT_EQ(pubfunc::getUserConfigString(W16("sEC"), W16("kEY"), W16("")),
              W16("\u4E2D\u6587 = x"));
    EXPECT_EQ(pubfunc::getUserConfigString(W16("Sec"), W16("never"), W16("d")), W16("d"));

    const fs::path qz = appData / "tarvel" / "qz", business = qz / "business" / "qzvelocast";
    const fs::path log = qz / "log" / "orvex_engine", record = documents / "My QZ" / "Game Record";
    wstring16 recordGot;
    pubfunc::getDefaultVideoRecordSaveFolder(recordGot);
    // Each result, what it must be, and the folder it must have created ("" for none).
    const std::tuple<wstring16, fs::path, fs::path> rows[] = {
        // clang-format off
        {pubfunc::getUserConfigSavePathFile(), business / "user.ini", business},
        {pubfunc::getMainConfigureFileName(), business / "main.ini", business},
        {pubfunc::getCacheDirPath(), business / "cache", business / "cache"},
        {pubfunc::getLogFileDir(W16("engine")), log / "engine.log", log},
        {pubfunc::getFacetrainedAnimationPath(), business / "face" / "", ""},
        {pubfunc::getViziZOzorPath(), documents / "ViziZOzor" / "", documents / "ViziZOzor"},
        {recordGot, record, record},
        // clang-format on
    };
    for (const auto& [got, want, created] : rows) {
        EXPECT_EQ(got, g_wide(want));
        EXPECT_TRUE(created.empty() || fs::is_directory(created)) << created;
    }
    EXPECT_FALSE(fs::exists(business / "face"));

    // loadBinaryFile and saveAsBMP over files of the scratch folder.
    std::ofstream(root / "empty", std::ios::binary).flush();
    std::ofstream(root / "ten", std::ios::binary) << "0123456789";
    // Each file, whether it opens, and the data after (which starts as "xyz").
    for (const auto& [name, opens, want] : {std::tuple{"missing", false, "xyz"},
                                            {"empty", true, "xyz"},
                                            {"ten", true, "0123456789"}}) {
        std::vector<char> data{'x', 'y', 'z'};
        EXPECT_EQ(pubfunc::loadBinaryFile(g_wide(root / name), data), opens) << name;
        EXPECT_EQ(std::string(data.begin(), data.end()), want) << name;
    }

    // Over a longer file: the header and 16 bytes, then the old bytes from 70 on.
    std::ofstream(root / "img.bmp", std::ios::binary) << std::string(75, '#');
    const std::string pixels(16, '\x7F');
    ASSERT_TRUE(pubfunc::saveAsBMP(pixels.data(), 16, 2, 2, 32, g_wide(root / "img.bmp").c_str()));
    std::vector<char> bmp;
    pubfunc::loadBinaryFile(g_wide(root / "img.bmp"), bmp);
    const std::string head(
        "BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\xFE\xFF\xFF\xFF\x01\0\x20\0", 30);
    EXPECT_EQ(std::string(bmp.begin(), bmp.end()), head + std::string(24, '\0') + pixels + "#####");
    fs::remove_all(root);
}
