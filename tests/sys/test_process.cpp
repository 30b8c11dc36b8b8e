// pubfunc's process and window utilities and openUrl, black-box.
#include <pubfunc/pubfunc.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#if !defined(_WIN32)
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

static unsigned long ownPid() {
#if defined(_WIN32)
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

static unsigned long threadId() {
#if defined(_WIN32)
    return GetCurrentThreadId();
#else
    return static_cast<unsigned long>(syscall(SYS_gettid));
#endif
}

TEST(pubfunc, ProcessNamesSwitchesAndIds) {
    EXPECT_EQ(pubfunc::getExeNameWithoutExt(), W16("pubfunc_tests"));
    EXPECT_FALSE(pubfunc::isMasterExe());
    const std::pair<wstring16, wstring16> qz[] = {
        {W16("a.exe -qzpt \"C:\\q z\\\" -x"), W16("C:\\q z\\")},
        {W16("-qzpt \"C:\\open"), W16("C:\\open")},
        {W16("-qzpt C:\\unquoted"), W16("")},
        {W16("-qz"), W16("")},
        {W16("-engine \"e\""), W16("")}};
    for (const auto& [line, want] : qz)
        EXPECT_EQ(pubfunc::getQZPathFromCmdLine(line), want) << testing::PrintToString(line);
    EXPECT_EQ(pubfunc::getOrvexEnginePathFromCmdLine(W16("x -qzpt \"q\" -engine \"e\\f\"")),
              W16("e\\f"));
    EXPECT_EQ(pubfunc::getOrvexEnginePathFromCmdLine(W16("-engin")), W16(""));
    // A thread's id names no process, on Linux though /proc has an entry for it.
    std::promise<unsigned long> id;
    std::promise<void> done;
    std::thread other([&] {
        id.set_value(threadId());
        done.get_future().wait();
    });
    EXPECT_TRUE(pubfunc::isProcessExist(ownPid()));
    EXPECT_FALSE(pubfunc::isProcessExist(id.get_future().get()));
    done.set_value();
    other.join();
}

#if defined(_WIN32)
// Windows of this process: a hidden top-level window, a visible one, a visible
// child of it, and a child below a hidden child.
TEST(pubfunc, ProcessWindows_Win) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"pubfunc_test";
    RegisterClassW(&wc);
    auto make = [](DWORD style, HWND parent) {
        return CreateWindowExW(0, L"pubfunc_test", L"t", style, 0, 0, 50, 50, parent, nullptr,
                               nullptr, nullptr);
    };
    const HWND hidden = make(WS_OVERLAPPEDWINDOW, nullptr);
    ASSERT_NE(hidden, nullptr);
    HWND out = hidden;
    EXPECT_EQ(pubfunc::getProcessMainWnd(ownPid(), L"any"), nullptr);
    EXPECT_EQ(pubfunc::getProcessIDWnd(pubfunc::getExeName(), out, L""), 0ul);
    const HWND top = make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr);
    const HWND child = make(WS_CHILD | WS_VISIBLE, top);
    const HWND grandchild = make(WS_CHILD | WS_VISIBLE, make(WS_CHILD, child));
    EXPECT_EQ(pubfunc::getProcessMainWnd(ownPid(), L""), top);
    wstring16 upper = pubfunc::getExeName();
    pubfunc::ToUpper(upper);
    EXPECT_EQ(pubfunc::getProcessIDWnd(upper, out, L""), ownPid());
    EXPECT_EQ(out, top);
    EXPECT_EQ(pubfunc::FindWindowTop(top), top);
    EXPECT_EQ(pubfunc::FindWindowTop(child), top);
    EXPECT_EQ(pubfunc::FindWindowTop(grandchild), grandchild);
    EXPECT_EQ(pubfunc::FindWindowTop(nullptr), nullptr);
    pubfunc::showProcessMainWnd(ownPid());
    EXPECT_TRUE(IsWindowVisible(hidden));
    EXPECT_TRUE(pubfunc::changeUIPIMessageFilter(0x401, true));
}
#else
TEST(pubfunc, ProcessWindowsAbsent_Posix) { // no windows here
    HWND out = &out;
    EXPECT_EQ(pubfunc::getProcessMainWnd(ownPid(), u""), nullptr);
    EXPECT_EQ(pubfunc::getProcessIDWnd(pubfunc::getExeName(), out, u""), 0ul);
    EXPECT_EQ(out, &out);
    EXPECT_EQ(pubfunc::FindWindowTop(&out), nullptr);
    EXPECT_FALSE(pubfunc::changeUIPIMessageFilter(0x401, true));
}
#endif

// A hostile url reaches the registered browser (the stand-in url_record) as its
// one argument, without any shell reading it.
TEST(pubfunc, OpenUrlPassesOneArgument) {
    const wstring16 url = W16("http://h/a b\"c'd&e|f;g$(touch x)`id`\\\"\\ %1 \u4E2D\\");
    const fs::path dir = fs::temp_directory_path() / ("pubfunc-url-" + std::to_string(ownPid()));
    fs::create_directories(dir);
    const fs::path record = dir / "record.txt";
#if defined(_WIN32)
    _wputenv_s(L"PUBFUNC_URL_RECORD", record.c_str());
    const wstring16 command =
        L"\"" + pubfunc::getExePath(pubfunc::moduleExe) + L"\\url_record.exe\" record";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   DWORD((command.size() + 1) * 2));
    RegCloseKey(key);
#else
    setenv("PUBFUNC_URL_RECORD", record.c_str(), 1);
    fs::create_symlink(fs::canonical("/proc/self/exe").parent_path() / "url_record",
                       dir / "xdg-open");
    setenv("PATH", dir.c_str(), 1);
#endif
    EXPECT_FALSE(pubfunc::openUrl(W16("")));
    EXPECT_FALSE(pubfunc::openUrl(W16("--help")));
    ASSERT_TRUE(pubfunc::openUrl(url));
    for (int i = 0; i < 600 && !fs::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(record, std::ios::binary);
    const std::string got{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(got, pubfunc::toNarrowString(url.c_str(), -1, 65001) + "\n");
    fs::remove_all(dir);
}
