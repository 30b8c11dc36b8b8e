// pubfunc's process and window utilities and openUrl, black-box.
#include <pubfunc/pubfunc.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#if !defined(_WIN32)
#include <sys/syscall.h>
#include <unistd.h>
#define GetCurrentProcessId getpid
#define GetCurrentThreadId() syscall(SYS_gettid)
#endif

namespace fs = std::filesystem;
static const unsigned long g_pid = GetCurrentProcessId();

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
    std::promise<unsigned long> id;
    std::promise<void> done;
    std::thread other([&] {
        id.set_value(GetCurrentThreadId());
        done.get_future().wait();
    });
    EXPECT_TRUE(pubfunc::isProcessExist(g_pid));
    EXPECT_FALSE(pubfunc::isProcessExist(id.get_future().get()));
    done.set_value();
    other.join();
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
