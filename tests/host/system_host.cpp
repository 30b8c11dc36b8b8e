// System tests that need a second process: sys_peer on a shared block, the
// version facts sys_peer is shown under two Windows versions, and the CPU usage of
// a busy child.
#include <pubfunc/cpuusage.h>
#include <pubfunc/sharedata.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
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
#include <time.h>
#include <unistd.h>

static long runPeer(const char* mode, const char* name) {
    const std::string line = std::string(PUBFUNC_SYS_PEER) + " " + mode + " " + name;
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

// The block rules in this process (an empty name, a held block kept, the size given
// bounding every copy, a copy owning nothing, a closed object having nothing), then
// the peer sees the bytes written here and answers through the same block; once the
// creator closes it, the name is gone.
TEST(CShareData, AcrossProcesses) {
    const std::string narrow = "pubfunc_peer_" + std::to_string(getpid());
    const wstring16 name(narrow.begin(), narrow.end());
    CShareData block, reader;
    EXPECT_FALSE(block.createSharedFile(W16(""), 16));
    ASSERT_TRUE(block.createSharedFile(name, 16));
    char* view = block.getSharedData();
    EXPECT_FALSE(block.createSharedFile(name + W16("x"), 16));
    EXPECT_TRUE(block.openSharedFile(name + W16("x"), 16));
    EXPECT_EQ(block.getSharedData(), view) << "the first block was not kept";
    EXPECT_EQ(block.writeData("ping from parent!", 17), 0u);
    ASSERT_EQ(block.writeData("ping from parent", 16), 16u);
    EXPECT_EQ(runPeer("shm", narrow.c_str()), 0) << "2: not opened, 3: other bytes, 4: not written";
    ASSERT_TRUE(reader.openSharedFile(name, 16));
    { CShareData copy(reader); }
    char got[17] = {};
    EXPECT_EQ(reader.getSharedData(got, 16), 16u);
    EXPECT_STREQ(got, "pong from child!");
    reader.closeSharedFile();
    EXPECT_EQ(reader.getSharedData(), nullptr);
    block.closeSharedFile();
    EXPECT_FALSE(reader.openSharedFile(name, 16));
}

#if defined(_WIN32)
// The peer's own version key in the prefix (never the prefix's setting, which other
// tests share): Windows 7 (6.1) is code 7; Windows 10 reports code 8 through either
// version call and is recognised by its own numbers. Wine's desktop window manager
// reports composition from Windows 8 on. Windows only: the Linux build has no
// version to switch.
TEST(pubfunc, VersionFactsUnderWin7AndWin10_Win) {
    const char* key = "Software\\Wine\\AppDefaults\\sys_peer.exe";
    for (const auto& [version, facts] : {std::pair{"win7", 77100L}, {"win10", 88111L}}) {
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key, "Version", REG_SZ, version,
                                  DWORD(std::string(version).size() + 1)),
                  ERROR_SUCCESS);
        EXPECT_EQ(runPeer("version"), facts) << version;
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, key);
}
#else
// The CPU time of a process, in seconds, from its CPU-time clock rather than the
// /proc entry the library reads.
static double cpuSeconds(pid_t pid) {
    clockid_t clock;
    timespec now = {};
    clock_getcpuclockid(pid, &clock);
    clock_gettime(clock, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// A child that keeps one core busy, measured over one second: the share of the
// whole machine agrees within 5 points with its own times. Linux only: it reads the
// child's /proc entry, which Wine's process times do not follow.
TEST(CCpuUsage, BusyChildAgainstItsOwnTimes_Posix) {
    const pid_t child = fork();
    if (child == 0)
        for (volatile unsigned spin = 0;; spin = spin + 1) {
        }
    CCpuUsage usage;
    usage.OSGetProcessCPUUsage(child);
    const double cpu0 = cpuSeconds(child);
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double got = usage.OSGetProcessCPUUsage(0);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - t0;
    const double own =
        (cpuSeconds(child) - cpu0) / wall.count() / sysconf(_SC_NPROCESSORS_ONLN) * 100;
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_GT(own, 5.0) << "the child was not running";
    EXPECT_NEAR(got, own, 5.0);
}
#endif
