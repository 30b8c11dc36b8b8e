// System tests that need a second process: sys_peer on a shared block, the
// version facts sys_peer is shown under two Windows versions, and the CPU usage of
// a busy child.
#include <pubfunc/cpuusage.h>
#include <pubfunc/sharedata.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#define getpid() GetCurrentProcessId()

// Runs sys_peer with its arguments and returns its exit code.
static long runPeer(const char* mode, const char* name = nullptr) {
    return long(_spawnl(_P_WAIT, PUBFUNC_SYS_PEER, PUBFUNC_SYS_PEER, mode, name, nullptr));
}
#else
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

static long runPeer(const char* mode, const char* name) {
    const std::string line = std::string(PUBFUNC_SYS_PEER) + " " + mode + " " + name;
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

// The peer sees the bytes written here and answers through the same block; once
// the last holder closes it, the name is gone.
TEST(CShareData, AcrossProcesses) {
    const std::string name = "pubfunc_peer_" + std::to_string(getpid());
    CShareData block;
    ASSERT_TRUE(block.createSharedFile(wstring16(name.begin(), name.end()), 16));
    ASSERT_EQ(block.writeData("ping from parent", 16), 16u);
    EXPECT_EQ(runPeer("shm", name.c_str()), 0) << "2: not opened, 3: other bytes, 4: not written";
    char got[17] = {};
    block.getSharedData(got, 16);
    EXPECT_STREQ(got, "pong from child!");
    block.closeSharedFile();
    CShareData late;
    EXPECT_FALSE(late.openSharedFile(wstring16(name.begin(), name.end()), 16));
}

#if defined(_WIN32)
// The peer's own version key in the prefix (never the prefix's setting, which other
// tests share): Windows 7 (6.1) is code 7; Windows 10 reports code 8 through either
// version call and is recognised by its own numbers. Wine's desktop window manager
// reports composition from Windows 8 on. Windows only: the Linux build has no
// version to switch.
TEST(pubfunc, VersionFactsUnderWin7AndWin10_Win) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\sys_peer.exe\\", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto& [version, facts] : {std::pair{"win7", 77100L}, {"win10", 88111L}}) {
        RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE*)version, DWORD(strlen(version) + 1));
        EXPECT_EQ(runPeer("version"), facts) << version;
    }
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\sys_peer.exe");
}
#else
// utime + stime of a process, in seconds.
static double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {}), field;
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    double utime = 0, stime = 0;
    for (int i = 3; i <= 13; ++i)
        rest >> field;
    rest >> utime >> stime;
    return (utime + stime) / sysconf(_SC_CLK_TCK);
}

static double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A child that keeps one core busy, measured over one second: the share of the
// whole machine agrees within 5 points with its own times. Linux only: it reads the
// child's /proc entry, which Wine's process times do not follow.
TEST(CCpuUsage, BusyChildAgainstItsOwnTimes_Posix) {
    const pid_t child = fork();
    if (child == 0)
        for (volatile unsigned spin = 0;; spin = spin + 1) {
        }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    CCpuUsage usage;
    usage.OSGetProcessCPUUsage(child);
    const double cpu0 = cpuSeconds(child), t0 = monotonicSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double got = usage.OSGetProcessCPUUsage(0);
    const double own = (cpuSeconds(child) - cpu0) / (monotonicSeconds() - t0) /
                       sysconf(_SC_NPROCESSORS_ONLN) * 100;
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_GT(own, 5.0) << "the child was not running";
    EXPECT_NEAR(got, own, 5.0);
}
#endif
