// Host program: logger scenarios that each need a fresh process (the logger opens
// one log per process). Usage: logger_host SCENARIO; it works in a folder named
// after the scenario below the current directory and exits 0 when every check
// holds, printing the first failure otherwise.
#include <pubfunc/vtqlogger.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <direct.h>
#define getcwd _getcwd
#define rmdir _rmdir
static int makeDir(const std::string& d) {
    return _mkdir(d.c_str());
}
static const char kSep = '\\';
static const char* kLineEnd = "\r\r\n"; // text mode turns the LF into CR LF
#else
#include <sys/stat.h>
#include <unistd.h>
static int makeDir(const std::string& d) {
    return mkdir(d.c_str(), 0777);
}
static const char kSep = '/';
static const char* kLineEnd = "\r\n";
#endif

namespace {

VTQ::VTQLogger& log() {
    return *VTQ::VTQLogger::Instance();
}

wstring16 wide(const std::string& s) {
    return wstring16(s.begin(), s.end());
} // ASCII paths

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void put(const std::string& path, size_t size, char fill) {
    std::ofstream(path, std::ios::binary) << std::string(size, fill);
}

bool exists(const std::string& path) {
    return std::ifstream(path).good();
}

int failures = 0;
void expect(bool ok, const char* what) {
    if (!ok && failures++ == 0) std::printf("logger_host: %s\n", what);
}

// Splits the log into lines and checks each one's shape; returns the payloads.
std::vector<std::string> payloads(const std::string& text,
                                  std::vector<std::string>* tags = nullptr) {
    static const std::regex shape("[A-Z][a-z]{2} [A-Z][a-z]{2} \\d{2} \\d{2}:\\d{2}:\\d{2} \\d{4}: "
                                  "(\\d{1,3}) \\[pid \\d+\\] \\[tid \\d+\\]  :(\\w+) (.*)");
    std::vector<std::string> out;
    const std::string end = kLineEnd;
    for (size_t at = 0; at < text.size();) {
        const size_t next = text.find(end, at);
        const std::string line = text.substr(at, next == std::string::npos ? next : next - at);
        std::smatch m;
        expect(next != std::string::npos && std::regex_match(line, m, shape), "malformed line");
        if (m.size() == 4) {
            expect(m[1].str().size() == 1 || m[1].str()[0] != '0', "milliseconds are padded");
            if (tags) tags->push_back(m[2]);
            out.push_back(m[3]);
        }
        if (next == std::string::npos) break;
        at = next + end.size();
    }
    return out;
}

// The log's folder has a non-ASCII name: "b" followed by U+4E2D and U+00E9.
const wchar16 kOddFolder[] = {'b', 0x4E2D, 0xE9, 0};
const char kOddFolderUtf8[] = "b\xE4\xB8\xAD\xC3\xA9";

// Reads a file named by a wide path (ASCII folder, then kOddFolder, then x.log).
std::string slurpOdd(const std::string& dir) {
#if defined(_WIN32)
    const wstring16 path = wide(dir + kSep + "a" + kSep) + kOddFolder + W16("\\x.log");
    FILE* f = _wfopen(path.c_str(), L"rb");
    std::string all;
    if (!f) return all;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        all.append(buf, n);
    std::fclose(f);
    return all;
#else
    return slurp(dir + kSep + "a" + kSep + kOddFolderUtf8 + kSep + "x.log");
#endif
}

void lines(const std::string& dir) {
    const wstring16 path =
        wide(dir + kSep + "a" + kSep) + kOddFolder + wide(std::string(1, kSep) + "x.log");
    log().LogInfo(W16("dropped %d"), 1); // no log yet: nothing happens
    expect(!log().isInstallHook(), "install hook set before any call");
    log().SetInstallHook(true);
    expect(log().isInstallHook(), "install hook not kept");
    expect(log().InitLog(path.c_str()), "InitLog with missing folders failed");
    expect(!log().InitLog(wide(dir + kSep + "other.log").c_str()), "second InitLog succeeded");
    const wchar16 chinese[] = {0x4E2D, 0x6587, 0xE9, 0};
    log().LogInfo(W16("i %d"), 1);
    log().LogWaring(W16("w %s"), W16("two"));
    log().LogError(W16("e %S"), "three");
    log().LogFatal(W16("f %s"), chinese);
    log().LogDebug(W16("never %d"), 5);
    // A long message is cut to 4,091 units, and the line holding it to 4,091 units
    // after the time, with no line end.
    log().LogInfo(W16("%s"), wstring16(5000, 'm').c_str());
    std::vector<std::string> tags;
    const std::string text = slurpOdd(dir);
    const std::string cutLine = text.substr(text.rfind(kLineEnd) + std::string(kLineEnd).size());
    const std::vector<std::string> got =
        payloads(text.substr(0, text.size() - cutLine.size()), &tags);
    expect(got.size() == 4, "expected four whole lines");
    expect(tags == std::vector<std::string>({"info", "warning", "error", "fatal"}), "tags");
    if (got.size() == 4) {
        expect(got[0] == "i 1" && got[1] == "w two" && got[2] == "e three", "payloads");
        expect(got[3] == "f \xE4\xB8\xAD\xE6\x96\x87\xC3\xA9", "UTF-8 payload");
    }
    expect(!exists(dir + kSep + "other.log"), "second InitLog created a file");
    expect(cutLine.find(":info mmm") != std::string::npos &&
               cutLine.substr(cutLine.find(": ") + 1).size() == 4091,
           "long line not cut to 4,091 units after the time");
}

void rotation(const std::string& dir, size_t size, bool rotates) {
    const std::string path = dir + kSep + "x.log";
    put(path, size, 'L');
    put(path + ".bk", 3, 'B');
    put(path + ".bk.bk", 3, 'C');
    expect(log().InitLog(wide(path).c_str()), "InitLog failed");
    log().LogInfo(W16("after"));
    const std::string live = slurp(path);
    if (rotates) {
        expect(payloads(live) == std::vector<std::string>{"after"}, "new log does not start empty");
        expect(slurp(path + ".bk").size() == size, ".bk is not the old log");
        expect(slurp(path + ".bk.bk") == "BBB", ".bk.bk is not the old .bk");
    } else {
        expect(live.size() > size && live.compare(0, size, std::string(size, 'L')) == 0,
               "log at the limit was rotated");
        expect(slurp(path + ".bk") == "BBB", ".bk changed");
    }
}

void badPaths(const std::string& dir) {
    put(dir + kSep + "plainfile", 1, 'x');
    // Another thread logs all the while InitLog fails and then succeeds.
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        while (!stop)
            log().LogInfo(W16("chatter %d"), 1);
    });
    expect(!log().InitLog(wide(dir + kSep + "plainfile" + kSep + "x.log").c_str()),
           "a file as folder was accepted");
    expect(!log().InitLog(W16("bare.log")), "a bare file name was accepted");
    expect(!log().InitLog(wide(dir).c_str()), "a folder as the log was accepted");
    expect(!log().InitLog(nullptr), "a null path was accepted");
    log().LogInfo(W16("nothing"));
    // A failed InitLog leaves the logger closed, ready for a good path; two
    // threads racing for it open one log.
    bool first = false, second = false;
    const wstring16 good = wide(dir + kSep + "good.log");
    std::thread a([&] { first = log().InitLog(good.c_str()); });
    std::thread b([&] { second = log().InitLog(good.c_str()); });
    a.join();
    b.join();
    expect(first != second, "racing InitLog calls did not open exactly one log");
    for (int i = 0; i < 200 && slurp(dir + kSep + "good.log").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop = true;
    chatter.join();
    const std::vector<std::string> got = payloads(slurp(dir + kSep + "good.log"));
    expect(!got.empty() && got.back() == "chatter 1", "lines logged after opening are missing");
}

void threads(const std::string& dir) {
    const std::string path = dir + kSep + "t.log";
    expect(log().InitLog(wide(path).c_str()), "InitLog failed");
    constexpr int kThreads = 8, kLines = 20000;
    std::vector<std::thread> pool;
    for (int t = 0; t < kThreads; ++t)
        pool.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                log().LogInfo(W16("t%d line %d"), t, i);
        });
    for (auto& th : pool)
        th.join();
    const std::vector<std::string> got = payloads(slurp(path));
    const std::set<std::string> distinct(got.begin(), got.end());
    expect(got.size() == size_t(kThreads * kLines), "lines lost");
    expect(distinct.size() == got.size(), "duplicate or torn lines");
}

// Logs into a nearly full disk: nothing crashes, and the lines that reached the
// disk before it filled are whole and in order.
void fullDisk(const std::string& dir) {
    const std::string path = dir + kSep + "x.log";
    expect(log().InitLog(wide(path).c_str()), "InitLog failed");
    for (int i = 0; i < 5000; ++i)
        log().LogError(W16("line %05d %s"), i, W16("padding to fill the disk"));
    std::string text = slurp(path);
    const size_t end = text.rfind(kLineEnd);
    expect(end != std::string::npos && text.size() < 5000 * 80, "the disk never filled");
    if (end == std::string::npos) return;
    const std::vector<std::string> got =
        payloads(text.substr(0, end + std::string(kLineEnd).size()));
    for (size_t i = 0; i < got.size(); ++i) {
        char want[64];
        std::snprintf(want, sizeof want, "line %05zu padding to fill the disk", i);
        expect(got[i] == want, "a line written before the disk filled was lost");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string scenario = argv[1];
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return 2;
    const std::string dir =
        argc > 2 ? std::string(argv[2]) : std::string(cwd) + kSep + "logger-" + scenario;
    // Start from an empty scenario folder, whatever an earlier run left.
    makeDir(dir);
    for (const char* f : {"x.log", "x.log.bk", "x.log.bk.bk", "t.log", "good.log", "plainfile"})
        std::remove((dir + kSep + f).c_str());
#if defined(_WIN32)
    const wstring16 odd = wide(dir + kSep + "a" + kSep) + kOddFolder;
    _wremove((odd + W16("\\x.log")).c_str());
    _wrmdir(odd.c_str());
#else
    std::remove((dir + kSep + "a" + kSep + kOddFolderUtf8 + kSep + "x.log").c_str());
    rmdir((dir + kSep + "a" + kSep + kOddFolderUtf8).c_str());
#endif
    rmdir((dir + kSep + "a").c_str());
    if (scenario == "lines")
        lines(dir);
    else if (scenario == "rotate")
        rotation(dir, 20971521, true);
    else if (scenario == "at-limit")
        rotation(dir, 20971520, false);
    else if (scenario == "bad-paths")
        badPaths(dir);
    else if (scenario == "threads")
        threads(dir);
    else if (scenario == "full-disk")
        fullDisk(dir);
    else
        return 2;
    if (!failures) std::printf("logger_host %s: ok\n", scenario.c_str());
    return failures ? 1 : 0;
}
