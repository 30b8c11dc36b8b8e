// Host program: logger scenarios that each need a fresh process (the logger opens
// one log per process). Usage: logger_host SCENARIO [FOLDER]. It works in FOLDER,
// by default a folder named after the scenario below the current directory, and
// exits 0 when every check holds, printing the first failure otherwise.
#include <pubfunc/vtqlogger.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

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
    expect(!init(dir / "other.log") && !fs::exists(dir / "other.log"), "second InitLog succeeded");
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
    expect(cut.find(":info mmm") != std::string::npos &&
               cut.substr(cut.find(": ") + 1).size() == 4091,
           "long line not cut to 4,091 units after the time");
}

// A log over the limit becomes .bk, the old .bk becomes .bk.bk, and the log starts
// empty; a log at the limit is kept.
void rotation(const fs::path& dir, size_t size, bool rotates) {
    const fs::path path = dir / "x.log";
    const std::string old(size, 'L');
    put(path, size, 'L');
    put(dir / "x.log.bk", 3, 'B');
    put(dir / "x.log.bk.bk", 3, 'C');
    expect(init(path), "InitLog failed");
    log().LogInfo(W16("after"));
    const std::string live = slurp(path), bk = slurp(dir / "x.log.bk");
    if (rotates)
        expect(payloads(live) == Lines{"info after"} && bk == old &&
                   slurp(dir / "x.log.bk.bk") == "BBB",
               "log over the limit not rotated into .bk and .bk.bk");
    else
        expect(live.compare(0, size, old) == 0 &&
                   payloads(live.substr(size)) == Lines{"info after"} && bk == "BBB",
               "log at the limit was rotated");
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
    for (int i = 0; i < 200 && slurp(dir / "good.log").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop = true;
    chatter.join();
    const Lines got = payloads(slurp(dir / "good.log"));
    expect(!got.empty() && got.back() == "info chatter 1",
           "lines logged after opening are missing");
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
    for (auto& th : pool)
        th.join();
    const Lines got = payloads(slurp(dir / "t.log"));
    expect(got.size() == 8 * 20000, "lines lost");
    expect(std::set<std::string>(got.begin(), got.end()).size() == got.size(), "torn lines");
}

// Logs into a nearly full disk: nothing crashes, and the lines that reached the
// disk before it filled are whole and in order.
void fullDisk(const fs::path& dir) {
    expect(init(dir / "x.log"), "InitLog failed");
    for (int i = 0; i < 5000; ++i)
        log().LogError(W16("line %d %s"), i, W16("padding to fill the disk"));
    const std::string text = slurp(dir / "x.log");
    const size_t end = text.rfind(kLineEnd);
    expect(end != std::string::npos && text.size() < 5000 * 80, "the disk never filled");
    if (end == std::string::npos) return;
    const Lines got = payloads(text.substr(0, end + kLineEnd.size()));
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
    if (scenario == "lines")
        lines(dir);
    else if (scenario == "rotate" || scenario == "at-limit")
        rotation(dir, scenario == "rotate" ? 20971521 : 20971520, scenario == "rotate");
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
