// Host program: logger scenarios that each need a fresh process (the logger opens
// one log per process). Usage: logger_host SCENARIO [FOLDER]. It works in FOLDER,
// by default a folder named after the scenario below the current directory, and
// exits 0 when every check holds, printing the first failure otherwise.
#include <pubfunc/vtqlogger.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <cxxabi.h>
#include <langinfo.h>
#endif

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

#if defined(_WIN32)
const std::string kLineEnd = "\r\r\n"; // text mode turns the LF into CR LF
#else
const std::string kLineEnd = "\r\n";
#endif

VTQ::VTQLogger& log() {
    return *VTQ::VTQLogger::Instance();
}

bool init(const fs::path& path) {
    const std::u16string u = path.u16string();
    return log().InitLog(wstring16(u.begin(), u.end()).c_str());
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const fs::path& path, size_t size, char fill) {
    std::ofstream(path, std::ios::binary) << std::string(size, fill);
}

int failures = 0;
void expect(bool ok, const char* what) {
    if (!ok && failures++ == 0) std::printf("logger_host: %s\n", what);
}

// Splits the log into lines, checks that every line has the expected shape
// (milliseconds unpadded) and returns what follows the time and ids: the level tag
// and the message.
Lines payloads(const std::string& text) {
    static const std::regex shape(
        "[A-Z][a-z]{2} [A-Z][a-z]{2} \\d{2} \\d{2}:\\d{2}:\\d{2} \\d{4}: "
        "(0|[1-9]\\d{0,2}) \\[pid \\d+\\] \\[tid \\d+\\]  :(\\w+ [^\\r\\n]*)" +
        kLineEnd);
    Lines out;
    size_t covered = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), shape), end; it != end; ++it)
        if (size_t(it->position()) == covered)
            covered += size_t(it->length()), out.push_back((*it)[2]);
    expect(covered == text.size(), "malformed line");
    return out;
}

// Missing folders with a non-ASCII name ("b", U+4E2D, U+00E9), every level, UTF-8.
void lines(const fs::path& dir) {
    const fs::path path = dir / "a" / fs::path(u"b\u4E2D\u00E9") / "x.log";
    expect(init(path), "InitLog with missing folders failed");
    expect(!init(dir / "other.log"), "second InitLog succeeded");
    expect(!fs::exists(dir / "other.log"), "second InitLog made a file");
    const wchar16 chinese[] = {0x4E2D, 0x6587, 0xE9, 0};
    log().LogInfo(W16("i %d"), 1);
    log().LogWaring(W16("w %s"), W16("two"));
    log().LogError(W16("e %S"), "three");
    log().LogFatal(W16("f %s"), chinese);
    log().LogDebug(W16("never %d"), 5);
    // A long message is cut to 4,091 units, and the line holding it to 4,091 units
    // after the time, with no line end.
    log().LogInfo(W16("%s"), wstring16(5000, 'm').c_str());
    const std::string text = slurp(path);
    const size_t whole = text.rfind(kLineEnd) + kLineEnd.size();
    expect(payloads(text.substr(0, whole)) == Lines{"info i 1", "warning w two", "error e three",
                                                    "fatal f \xE4\xB8\xAD\xE6\x96\x87\xC3\xA9"},
           "tags or payloads");
    const std::string cut = text.substr(whole);
    expect(cut.find(":info mmm") != std::string::npos, "long line missing");
    expect(cut.substr(cut.find(": ") + 1).size() == 4091, "long line not cut to 4,091 units");
}

// A log over the limit becomes .bk, the old .bk becomes .bk.bk, and the log starts
// empty; a log at the limit is kept. When the moves cannot succeed (.bk.bk is a
// folder that is not empty), .bk stays and the log is appended to.
void rotation(const fs::path& dir, size_t size, bool blocked) {
    const fs::path path = dir / "x.log";
    const bool rotates = size > 20971520 && !blocked;
    put(path, size, 'L');
    put(dir / "x.log.bk", 3, 'B');
    if (blocked) fs::create_directory(dir / "x.log.bk.bk");
    put(blocked ? dir / "x.log.bk.bk" / "x" : dir / "x.log.bk.bk", 3, 'C');
    expect(init(path), "InitLog failed");
    log().LogInfo(W16("after"));
    const std::string live = slurp(path), kept(rotates ? 0 : size, 'L');
    expect(live.compare(0, kept.size(), kept) == 0, "the log lost its text");
    expect(payloads(live.substr(std::min(kept.size(), live.size()))) == Lines{"info after"},
           "the line is not last");
    expect(slurp(dir / "x.log.bk") == (rotates ? std::string(size, 'L') : "BBB"), "wrong .bk");
    expect(!rotates || slurp(dir / "x.log.bk.bk") == "BBB", ".bk not moved to .bk.bk");
}

void badPaths(const fs::path& dir) {
    put(dir / "plainfile", 1, 'x');
    // Another thread logs all the while InitLog fails and then succeeds.
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        while (!stop)
            log().LogInfo(W16("chatter %d"), 1);
    });
    expect(!init(dir / "plainfile" / "x.log"), "a file as folder was accepted");
    expect(!init("bare.log"), "a bare file name was accepted");
    expect(!init(dir), "a folder as the log was accepted");
    expect(!log().InitLog(nullptr), "a null path was accepted");
    // A failed InitLog leaves the logger closed, ready for a good path; two
    // threads racing for it open one log.
    bool first = false, second = false;
    std::thread a([&] { first = init(dir / "good.log"); });
    std::thread b([&] { second = init(dir / "good.log"); });
    a.join();
    b.join();
    expect(first != second, "racing InitLog calls did not open exactly one log");
    for (int i = 0; i < 200 && fs::file_size(dir / "good.log") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop = true;
    chatter.join();
    const Lines got = payloads(slurp(dir / "good.log"));
    expect((got.empty() ? "" : got.back()) == "info chatter 1", "lines after opening missing");
}

// 8 threads x 20,000 distinct lines: none lost, none torn.
void threads(const fs::path& dir) {
    expect(init(dir / "t.log"), "InitLog failed");
    std::vector<std::thread> pool;
    for (int t = 0; t < 8; ++t)
        pool.emplace_back([t] {
            for (int i = 0; i < 20000; ++i)
                log().LogInfo(W16("t%d line %d"), t, i);
        });
    for (std::thread& th : pool)
        th.join();
    const Lines got = payloads(slurp(dir / "t.log"));
    expect(got.size() == 8 * 20000, "lines lost");
    expect(std::set<std::string>(got.begin(), got.end()).size() == got.size(), "torn lines");
}

// Four threads log while the process exits: the clean-up at unload closes the log
// under their feet, and none of them may touch freed memory (ASan watches). On
// Linux the process lingers after every library's clean-up, so the threads go on
// logging past the library's: an exit handler that belongs to no library, taken
// before the runtime takes its own (which finalises the libraries), runs after it.
std::atomic<bool> g_linger{false};
#if !defined(_WIN32)
void linger(void*) {
    if (g_linger) std::this_thread::sleep_for(std::chrono::milliseconds(200));
}
void registerLinger() {
    abi::__cxa_atexit(linger, nullptr, nullptr);
}
[[gnu::used, gnu::section(".preinit_array")]] void (*const s_preinit)() = registerLinger;
#endif
void exitWhileLogging(const fs::path& dir) {
    g_linger = true;
    expect(init(dir / "x.log"), "InitLog failed");
    // Long lines keep each thread inside a call for most of its time.
    // A plain array: nothing destroys it while the threads read it at exit.
    static wchar16 text[4000] = {};
    std::fill(text, text + 3999, 'b');
    for (int t = 0; t < 4; ++t)
        std::thread([] {
            for (;;)
                log().LogInfo(W16("%s"), text);
        }).detach();
    while (fs::file_size(dir / "x.log") < 65536)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

#if !defined(_WIN32)
// Allocation fails on demand. The library shares this operator new here; a DLL
// brings its own runtime's, which a host cannot replace, so this runs on Linux.
std::atomic<bool> g_failNew{false};
} // namespace
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
namespace {

// Out of memory, nothing escapes the logger: a line whose formatting must allocate
// is dropped, and one that needs no allocation (buffers warm) is still written.
void noMemory(const fs::path& dir) {
    expect(init(dir / "x.log"), "InitLog failed");
    const wstring16 big(100000, 'x');
    log().LogInfo(W16("warm %d"), 1);
    g_failNew = true;
    try {
        log().LogError(W16("%s %s"), big.c_str(), big.c_str());
        log().LogInfo(W16("int %d"), 2);
    } catch (...) {
        expect(false, "an exception escaped the logger"); // printf needs no operator new
    }
    g_failNew = false;
    const Lines got = payloads(slurp(dir / "x.log"));
    expect((got.empty() ? "" : got.back()) == "info int 2", "a line needing no memory was lost");
}

// Under a locale with other names than English, the time prefix carries them as
// UTF-8: the day and month read as the locale's own (generated into the folder).
void localeNames(const fs::path& dir) {
    const std::string loc = (dir / "loc").string();
    fs::create_directory(loc);
    std::system(("localedef -i ru_RU -f UTF-8 '" + loc + "/ru_RU.UTF-8'").c_str());
    setenv("LOCPATH", loc.c_str(), 1);
    expect(std::setlocale(LC_ALL, "ru_RU.UTF-8"), "the ru_RU.UTF-8 locale was not generated");
    std::set<std::string> days, months;
    for (nl_item i = ABDAY_1; i <= ABDAY_7; ++i)
        days.insert(nl_langinfo(i));
    for (nl_item i = ABMON_1; i <= ABMON_12; ++i)
        months.insert(nl_langinfo(i));
    expect(init(dir / "x.log"), "InitLog failed");
    log().LogInfo(W16("names"));
    const std::string text = slurp(dir / "x.log");
    const size_t day = text.find(' '), month = text.find(' ', day + 1);
    expect(days.count(text.substr(0, day)), "the day name is not the locale's");
    expect(months.count(text.substr(day + 1, month - day - 1)),
           "the month name is not the locale's");
    expect(payloads("Mon Jan" + text.substr(month)) == Lines{"info names"}, "line shape");
}
#endif

// Logs into a nearly full disk: nothing crashes, and the lines that reached the
// disk before it filled are whole and in order.
void fullDisk(const fs::path& dir) {
    expect(init(dir / "x.log"), "InitLog failed");
    for (int i = 0; i < 5000; ++i)
        log().LogError(W16("line %d %s"), i, W16("padding to fill the disk"));
    const std::string text = slurp(dir / "x.log");
    const size_t end = text.rfind(kLineEnd);
    expect(text.size() < 5000 * 80, "the disk never filled");
    const Lines got =
        payloads(text.substr(0, end == std::string::npos ? 0 : end + kLineEnd.size()));
    expect(got.size() > 0, "no whole line reached the disk");
    for (size_t i = 0; i < got.size(); ++i)
        expect(got[i] == "error line " + std::to_string(i) + " padding to fill the disk",
               "a line written before the disk filled was lost");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string scenario = argv[1];
    const fs::path dir = argc > 2 ? fs::path(argv[2]) : fs::current_path() / ("logger-" + scenario);
    // Start from an empty folder, whatever an earlier run left; the folder itself
    // may be a mount point, so only what it holds goes.
    fs::create_directories(dir);
    for (const auto& entry : fs::directory_iterator(dir))
        fs::remove_all(entry.path());
    const std::map<std::string, void (*)(const fs::path&)> scenarios = {
        {"lines", lines},
        {"rotate", [](const fs::path& d) { rotation(d, 20971521, false); }},
        {"at-limit", [](const fs::path& d) { rotation(d, 20971520, false); }},
        {"rotate-blocked", [](const fs::path& d) { rotation(d, 20971521, true); }},
        {"bad-paths", badPaths},
        {"threads", threads},
        {"exit", exitWhileLogging},
        {"full-disk", fullDisk},
#if !defined(_WIN32)
        {"no-memory", noMemory},
        {"locale", localeNames},
#endif
    };
    if (!scenarios.count(scenario)) return 2;
    scenarios.at(scenario)(dir);
    if (!failures) std::printf("logger_host %s: ok\n", scenario.c_str());
    return failures ? 1 : 0;
}
