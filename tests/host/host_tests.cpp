// Behaviour that needs a process of its own: ctest runs each test of this program
// alone, as a named step, in a scratch folder. The logger is driven through its
// public API, mostly through loggers of the test's own (each opens its own log);
// the library's unload order through a second copy of it, pubfunc_probe; the
// system functions that need a second process through sys_peer: a shared block,
// the version facts sys_peer is shown under two Windows versions, and the CPU usage
// of a busy child.
#include <pubfunc/cpuusage.h>
#include <pubfunc/sharedata.h>
#include <pubfunc/vtqlogger.h>
#include <pubfunc/zvglobal.h>

#include "core/threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

std::atomic<bool> g_linger{false}, g_failNew{false};

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#define getpid() GetCurrentProcessId()
#define dlopen(name, flags) LoadLibraryA(name)
#define dlsym(module, name) reinterpret_cast<void*>(GetProcAddress(module, name))
#define dlclose(module) (FreeLibrary(module) ? 0 : 1)
const std::string kLineEnd = "\r\r\n"; // text mode turns the LF of CR LF into CR LF

// Runs sys_peer with its arguments and returns its exit code.
static long runPeer(const char* mode, const char* name = nullptr) {
    return long(_spawnl(_P_WAIT, PUBFUNC_SYS_PEER, PUBFUNC_SYS_PEER, mode, name, nullptr));
}
#else
#include <clocale>
#include <csignal>
#include <cxxabi.h>
#include <dlfcn.h>
#include <langinfo.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
const std::string kLineEnd = "\r\n";

static long runPeer(const char* mode, const char* name) {
    const std::string line = std::string(PUBFUNC_SYS_PEER) + " " + mode + " " + name;
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The process lingers after every library's clean-up once g_linger is set: an
// exit handler that belongs to no library, taken before the runtime takes its own
// (which finalises the libraries), runs after them.
void linger(void*) {
    if (g_linger) std::this_thread::sleep_for(std::chrono::milliseconds(200));
}
[[gnu::used, gnu::section(".preinit_array")]] void (*const s_preinit)() = [] {
    abi::__cxa_atexit(linger, nullptr, nullptr);
};

// Allocation fails on demand. The library shares this operator new here; a DLL
// brings its own runtime's, which a host cannot replace.
void* operator new(size_t n) {
    void* p = g_failNew ? nullptr : std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}
#endif

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr auto kFromHere = std::regex_constants::match_continuous;

static bool open(VTQ::VTQLogger& logger, const fs::path& path) {
    return logger.InitLog(path.string<wchar16>().c_str());
}

static std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// An empty folder named after the running test (a mount point stays, emptied).
static fs::path scratch() {
    const fs::path dir =
        fs::absolute(testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        fs::remove_all(entry.path());
    return dir;
}

// The lines of a log, each checked for its shape (milliseconds unpadded), as what
// follows the time and ids: the level tag and the message.
static Lines payloads(const std::string& text) {
    static const std::regex shape(
        "[A-Z][a-z]{2} [A-Z][a-z]{2} \\d{2} \\d{2}:\\d{2}:\\d{2} \\d{4}: "
        "(0|[1-9]\\d{0,2}) \\[pid \\d+\\] \\[tid \\d+\\]  :(\\w+ [^\\r\\n]*)" +
        kLineEnd);
    Lines out;
    std::string::const_iterator at = text.begin();
    for (std::smatch m; std::regex_search(at, text.end(), m, shape, kFromHere); at = m[0].second)
        out.push_back(m[2]);
    EXPECT_EQ(std::string(at, text.end()).substr(0, 200), "") << "a malformed line";
    return out;
}

// Missing folders with a non-ASCII name are made, every level. Each level's tag,
// the formats, UTF-8, no debug lines. A long message is cut to 4,091 units, and the
// line holding it to 4,091 units after the time, with no line end.
TEST(Logger, Lines) {
    const fs::path path = scratch() / "a" / fs::path(u"b\u4E2D\u00E9") / "x.log";
    VTQ::VTQLogger logger;
    ASSERT_TRUE(open(logger, path));
    logger.LogInfo(W16("i %d"), 1);
    logger.LogWaring(W16("w %s"), W16("two"));
    logger.LogError(W16("e %S"), "three");
    logger.LogFatal(W16("f %s"), W16("\u4E2D\u6587\u00E9"));
    logger.LogDebug(W16("never %d"), 5);
    logger.LogInfo(W16("%s"), wstring16(5000, 'm').c_str());
    const std::string text = slurp(path);
    const size_t whole = text.rfind(kLineEnd) + kLineEnd.size();
    EXPECT_EQ(payloads(text.substr(0, whole)), (Lines{"info i 1", "warning w two", "error e three",
                                                      "fatal f \xE4\xB8\xAD\xE6\x96\x87\xC3\xA9"}));
    EXPECT_EQ(text.size() - (text.find(": ", whole) + 1), 4091u) << "the cut line after the time";
}

// A log over the limit becomes .bk, the old .bk becomes .bk.bk, and the log starts
// empty; a log at the limit is kept. When the moves cannot succeed (.bk.bk is a
// folder that is not empty), .bk stays and the log is appended to.
TEST(Logger, Rotation) {
    // Each row: the log's size, whether the moves are blocked.
    for (const auto& [size, blocked] :
         {std::pair{20971521, false}, {20971520, false}, {20971521, true}}) {
        SCOPED_TRACE(testing::Message() << size << (blocked ? " blocked" : ""));
        const fs::path dir = scratch(), path = dir / "x.log";
        const bool rotates = size > 20971520 && !blocked;
        fs::create_directories(blocked ? dir / "x.log.bk.bk" : dir);
        std::ofstream(path) << std::string(size, 'L');
        std::ofstream(dir / "x.log.bk") << "BBB";
        std::ofstream(blocked ? dir / "x.log.bk.bk" / "x" : dir / "x.log.bk.bk") << "CCC";
        VTQ::VTQLogger logger;
        ASSERT_TRUE(open(logger, path));
        logger.LogInfo(W16("after"));
        const std::string live = slurp(path), kept(rotates ? 0 : size, 'L');
        EXPECT_TRUE(live.compare(0, kept.size(), kept) == 0) << "the log lost its text";
        EXPECT_EQ(payloads(live.substr(std::min(kept.size(), live.size()))), Lines{"info after"});
        EXPECT_TRUE(slurp(dir / "x.log.bk") == (rotates ? std::string(size, 'L') : "BBB"));
        EXPECT_TRUE(!rotates || slurp(dir / "x.log.bk.bk") == "BBB") << ".bk not moved to .bk.bk";
    }
}

// A file in the folder chain, a bare file name, a folder and null are refused while
// another thread logs; a failed InitLog leaves the logger ready for a good path, and
// of two threads racing for it one opens it. Then 8 threads log 20,000 distinct
// lines each: none lost, none torn.
TEST(Logger, BadPathsAndThreads) {
    const fs::path dir = scratch();
    std::ofstream(dir / "file") << "x";
    VTQ::VTQLogger logger;
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        while (!stop)
            logger.LogInfo(W16("chatter %d"), 1);
    });
    EXPECT_FALSE(open(logger, dir / "file" / "x.log"));
    EXPECT_FALSE(open(logger, "bare.log"));
    EXPECT_FALSE(open(logger, dir));
    std::atomic<int> opened{0};
    onThreads(2, [&](int) { opened += open(logger, dir / "good.log"); });
    EXPECT_EQ(opened, 1) << "racing InitLog calls";
    stop = true;
    chatter.join();
    const size_t chatterLines = payloads(slurp(dir / "good.log")).size();
    onThreads(8, [&](int t) {
        for (int i = 0; i < 20000; ++i)
            logger.LogInfo(W16("t%d line %d"), t, i);
    });
    const Lines got = payloads(slurp(dir / "good.log"));
    EXPECT_EQ(got.size(), chatterLines + 8 * 20000) << "lines lost";
    EXPECT_EQ(std::set<std::string>(got.begin() + chatterLines, got.end()).size(), 8u * 20000);
}

// Four threads log long lines while the process exits: the clean-up at unload
// closes the log under their feet, and none of them may touch freed memory (ASan
// watches). On Linux the threads go on logging past the library's clean-up.
TEST(Logger, ExitWhileLogging) {
    g_linger = true;
    const fs::path dir = scratch();
    ASSERT_TRUE(open(*VTQ::VTQLogger::Instance(), dir / "x.log"));
    for (int t = 0; t < 4; ++t)
        std::thread([] {
            for (;;)
                VTQ::VTQLogger::Instance()->LogInfo(W16("%3999d"), 0);
        }).detach();
    while (fs::file_size(dir / "x.log") < 65536)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::vector<std::string> g_unloaded;

// One of the probe's extra exports (null when it is missing, which crashes the test).
template <class F, class Module> F* probeFn(Module probe, const char* name) {
    return reinterpret_cast<F*>(dlsym(probe, name));
}

// A second copy of the library, loaded and unloaded: its calls bind to its own
// code (its first event id is 1 after the host took one), it records its own
// module handle, and at unload the clean-up registered last runs first.
TEST(Frame, LoadAndUnloadASecondCopy) {
    EXPECT_EQ(genEventId(), 1u) << "a fresh process's first event id";
    const auto probe = dlopen(PUBFUNC_PROBE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(probe, nullptr);
    void* handle = nullptr;
    EXPECT_EQ(probeFn<unsigned long long(void**)>(probe, "probeIdentity")(&handle), 1u);
    EXPECT_EQ(handle, reinterpret_cast<void*>(probe));
    EXPECT_TRUE(probeFn<bool(void (*)(const char*))>(probe, "probeWatchUnload")(
        [](const char* name) { g_unloaded.push_back(name); }));
    EXPECT_EQ(dlclose(probe), 0);
    EXPECT_EQ(g_unloaded.empty() ? "" : g_unloaded.front(), "late");
}

// The block rules in this process (a held block kept, the size given
// bounding every copy, a copy owning nothing, a closed object having nothing), then
// the peer sees the bytes written here and answers through the same block; once the
// creator closes it, the name is gone.
TEST(CShareData, AcrossProcesses) {
    const std::string narrow = "pubfunc_peer_" + std::to_string(getpid());
    const wstring16 name(narrow.begin(), narrow.end());
    CShareData block, reader;
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
// Out of memory, nothing escapes the logger: a line whose formatting must allocate
// is dropped, and one that needs no allocation (buffers warm) is still written.
// Linux only: a host cannot make the DLL's own allocator fail.
TEST(Logger, NoMemory_Posix) {
    const fs::path dir = scratch();
    VTQ::VTQLogger logger;
    ASSERT_TRUE(open(logger, dir / "x.log"));
    logger.LogInfo(W16("warm %d"), 1);
    bool escaped = false;
    g_failNew = true;
    try {
        logger.LogError(W16("%65536d"), 1);
        logger.LogInfo(W16("int %d"), 2);
    } catch (...) {
        escaped = true;
    }
    g_failNew = false;
    EXPECT_FALSE(escaped) << "an exception escaped the logger";
    EXPECT_EQ(payloads(slurp(dir / "x.log")), (Lines{"info warm 1", "info int 2"}));
}

// Under a locale with other names than English (generated into the folder), the
// time prefix carries its day and month names as UTF-8.
TEST(Logger, Locale_Posix) {
    const fs::path dir = scratch();
    std::system(("localedef -i ru_RU -f UTF-8 '" + dir.string() + "/ru_RU.UTF-8'").c_str());
    setenv("LOCPATH", dir.c_str(), 1);
    ASSERT_TRUE(std::setlocale(LC_ALL, "ru_RU.UTF-8")) << "no ru_RU.UTF-8 generated";
    std::set<std::string> names; // every day with every month
    for (nl_item day = ABDAY_1; day <= ABDAY_7; ++day)
        for (nl_item month = ABMON_1; month <= ABMON_12; ++month)
            names.insert(std::string(nl_langinfo(day)) + " " + nl_langinfo(month));
    VTQ::VTQLogger logger;
    ASSERT_TRUE(open(logger, dir / "x.log"));
    logger.LogInfo(W16("names"));
    const std::string text = slurp(dir / "x.log");
    const size_t namesEnd = text.find(' ', text.find(' ') + 1);
    EXPECT_EQ(names.count(text.substr(0, namesEnd)), 1u) << text;
    EXPECT_EQ(payloads("Mon Jan" + text.substr(namesEnd)), Lines{"info names"});
}

// Run by full_disk.sh on a disk too small for the log: nothing crashes, and the
// lines that reached the disk before it filled are whole and in order.
TEST(Logger, FullDisk_Posix) {
    const fs::path dir = scratch();
    VTQ::VTQLogger logger;
    ASSERT_TRUE(open(logger, dir / "x.log"));
    for (int i = 0; i < 5000; ++i)
        logger.LogError(W16("line %d %s"), i, W16("padding to fill the disk"));
    const std::string text = slurp(dir / "x.log");
    EXPECT_LT(text.size(), 5000u * 80) << "the disk never filled";
    const Lines got = payloads(text.substr(0, text.rfind(kLineEnd) + kLineEnd.size()));
    EXPECT_FALSE(got.empty()) << "no whole line reached the disk";
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], "error line " + std::to_string(i) + " padding to fill the disk");
}

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
