// VTQ::VTQLogger: the process-wide file logger and its open file.
//
// Lifetime: the singleton and its LogFile record live in static storage, built by
// the library frame as its first load step, and neither is ever destroyed or
// freed: the clean-up at unload (which runs last, also when exit runs while other
// threads log) only closes the stream under the record's lock. The stream is read
// and written under that lock alone, so a thread that logs while the log is
// opened, fails to open, is closed or while the process exits never touches freed
// memory, and its line is written whole or dropped. Two threads that call InitLog
// at once open one log (exactly one of them gets true).
//
// Cost of a line: no heap allocation once warm, as long as the message's own
// formatting needs none. The message is formatted and encoded to UTF-8 before the
// lock is taken, into a LineBuffer lent by the record's pool (reused across lines
// by up to eight threads that log at once). Under the lock stays what orders lines
// between threads: reading the clock, the time and id header (built in front of
// the encoded text, in the same buffer), one fwrite and the flush. The time text
// is made once per second of the clock.
//
// Nothing is thrown out of the logger: a line whose formatting runs out of memory
// is dropped, and InitLog then returns false.
#include <pubfunc/vtqlogger.h>
#include <pubfunc/zvglobal.h>

#include "core/format.h"
#include "diag/logger_internal.h"
#include "platform/codepage.h"
#include "platform/fs.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

namespace VTQ {

static_assert(sizeof(std::atomic<bool>) == sizeof(bool) && alignof(std::atomic<bool>) == 1,
              "installHook keeps the layout of a bool");

namespace {

constexpr long kRotateAbove = 20971520; // 20 MiB: a larger log is rotated when opened
constexpr size_t kTextLimit = 4091;     // units kept of a message, and of a line after the time

// The header in front of a line's text: the time (at most 49 units, three bytes
// each in UTF-8) and " ms [pid P] [tid T]  " (at most 42 bytes).
constexpr size_t kPrefixBytes = 3 * (pf::platform::kTimeTextCap - 1);
constexpr size_t kIdsMax = 42;
constexpr size_t kHeaderRoom = kPrefixBytes + kIdsMax;

// A buffer that a huge message grew past this many units is not kept.
constexpr size_t kKeepUnits = 2 * (kTextLimit + 1);

const wchar16 kCrLf[] = {'\r', '\n', 0};

const wchar16* levelTag(int level) {
    switch (level) {
    case 1:
        return W16(":warning ");
    case 2:
        return W16(":error ");
    case 3:
        return W16(":fatal ");
    case 4:
        return W16(":debug ");
    default:
        return W16(":info ");
    }
}

const unsigned short* u(const wchar16* s) {
    return reinterpret_cast<const unsigned short*>(s);
}

// Folder and file-name parts: split at the last backslash, or, only when there is
// none, at the last forward slash. "C:\a/b/c.log" is "C:" and "a/b/c.log".
size_t separatorAt(const wstring16& path) {
    const size_t back = path.rfind(wchar16('\\'));
    return back != wstring16::npos ? back : path.rfind(wchar16('/'));
}
wstring16 folderPart(const wstring16& path) {
    const size_t at = separatorAt(path);
    return at == wstring16::npos ? wstring16() : path.substr(0, at);
}
wstring16 fileNamePart(const wstring16& path) {
    const size_t at = separatorAt(path);
    return at == wstring16::npos ? wstring16() : path.substr(at + 1);
}

// Makes sure the folder exists; false when it neither exists nor can be created.
bool ensureFolder(const wstring16& folder) {
    return pf::platform::isDirectory(u(folder.c_str())) ||
           pf::platform::createFolderChain(u(folder.c_str())) == 0;
}

bool fileExists(const wstring16& path) {
    FILE* f = pf::platform::openFile(u(path.c_str()), "r");
    if (f) std::fclose(f);
    return f != nullptr;
}

// Writes v in decimal so that it ends just before end; returns where it starts.
char* putIntBefore(char* end, int v) {
    unsigned magnitude = v < 0 ? 0u - unsigned(v) : unsigned(v);
    do {
        *--end = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (v < 0) *--end = '-';
    return end;
}
char* putBefore(char* end, const char* text, size_t n) {
    end -= n;
    std::memcpy(end, text, n);
    return end;
}

// UTF-8 of n units of text into out, which has room for the worst case (three
// bytes a unit); the number of bytes. ASCII, most of any log, is copied here; the
// codec takes over at the first other unit (never inside a surrogate pair).
size_t encode(const wchar16* text, size_t n, char* out) {
    size_t i = 0;
    while (i < n && text[i] < 0x80) {
        out[i] = char(text[i]);
        ++i;
    }
    if (i == n) return n;
    const int rest = pf::platform::wideToMultiByte(pf::platform::kCodePageUtf8, 0, u(text + i),
                                                   int(n - i), out + i, int(3 * (n - i)));
    return i + (rest > 0 ? size_t(rest) : 0);
}

} // namespace

// One line on its way: the level tag, the message and CR LF as UTF-16, and the
// bytes of the line, whose first kHeaderRoom bytes are left for the header.
struct LineBuffer {
    wstring16 text;
    std::string bytes;
    size_t encoded = 0; // bytes of the text after the header room; 0: encode under the lock
};

class LogFile {
public:
    LogFile() = default;
    ~LogFile(); // only for loggers other than the singleton: its record is never destroyed
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    bool open(const wchar16* path);
    int write(LineBuffer& line);
    int close();

    LineBuffer* lend();
    void giveBack(LineBuffer* line);

    // Whether a stream is open, for the unlocked test in __Log: a hint that saves
    // formatting lines that nobody writes. write() decides under the lock.
    std::atomic<bool> opened{false};
    FILE* stream = nullptr; // under lock
    ZvCriticalSection lock;

private:
    void rotate(const wchar16* path);
    void freePool();
    static size_t firstSlot();

    // The header's time text, made when the second of the clock changes (so a
    // locale that the host sets shows from the next second on).
    long long prefixSecond = LLONG_MIN;
    char prefix[kPrefixBytes];
    size_t prefixLength = 0;

    // Buffers waiting for a line: slots taken and filled with atomic exchanges, so
    // that threads never wait for one another here. Each thread starts at its own
    // slot (one cache line each) and mostly gets its last buffer back; a buffer
    // that finds every slot full is freed.
    struct alignas(64) Slot {
        std::atomic<LineBuffer*> line{nullptr};
    };
    static constexpr size_t kSlots = 8; // firstSlot() takes 3 bits
    Slot pool[kSlots];
};

namespace {
alignas(VTQLogger) unsigned char s_storage[sizeof(VTQLogger)];
alignas(LogFile) unsigned char s_recordStorage[sizeof(LogFile)];
std::atomic<VTQLogger*> s_instance{nullptr};
LogFile* s_record = nullptr; // the singleton's record, set once at load

// The singleton's record, or a fresh one for a logger that a host made itself.
LogFile* recordFor(const VTQLogger* logger) {
    return logger == s_instance.load(std::memory_order_acquire) ? s_record : new LogFile;
}
} // namespace

LogFile::~LogFile() {
    close();
}

bool LogFile::open(const wchar16* path) {
    ZvCSLocker guard(&lock);
    if (stream) return true;
    if (!path) return false;
    if (!ensureFolder(folderPart(path))) return false;
    stream = pf::platform::openFile(u(path), "a+");
    if (stream && pf::platform::fileSize(stream) > kRotateAbove) rotate(path);
    opened.store(stream != nullptr, std::memory_order_relaxed);
    return stream != nullptr;
}

// Nothing is lost when a move fails (another process holds the file, a folder is
// in the way): .bk goes only by being moved to .bk.bk, and the live log is opened
// for appending again, which starts it empty only when it was moved away.
void LogFile::rotate(const wchar16* path) {
    std::fclose(stream);
    stream = nullptr;
    const wstring16 name = fileNamePart(path);
    const wstring16 folder = folderPart(path);
    if (!ensureFolder(folder) || name.empty()) return;
    const wstring16 first = folder + pf::platform::pathSeparator() + name + W16(".bk");
    const wstring16 second = first + W16(".bk");
    if (fileExists(first)) {
        if (fileExists(second)) pf::platform::removeFile(u(second.c_str()));
        pf::platform::moveFile(u(first.c_str()), u(second.c_str()));
    }
    pf::platform::moveFile(u(path), u(first.c_str()));
    stream = pf::platform::openFile(u(path), "a+");
}

int LogFile::write(LineBuffer& line) {
    ZvCSLocker guard(&lock);
    if (!stream) return 0;
    long long second;
    int millisecond;
    pf::platform::currentTime(second, millisecond);
    if (second != prefixSecond) {
        wchar16 time[pf::platform::kTimeTextCap];
        size_t units;
        const int error = pf::platform::localTimeText(second, time, units);
        if (error) {
            char failed[64];
            const int n = std::snprintf(failed, sizeof failed,
                                        "log failed for get loacl time error :%d", error);
            std::fwrite(failed, 1, size_t(n), stream);
            std::fflush(stream);
            return -1;
        }
        prefixLength = encode(time, units, prefix);
        prefixSecond = second;
    }
    // The header, right to left, into the room in front of the text.
    char* const body = &line.bytes[kHeaderRoom];
    char* p = putBefore(body, "]  ", 3);
    p = putIntBefore(p, int(pf::platform::currentThreadId()));
    p = putBefore(p, "] [tid ", 7);
    p = putIntBefore(p, int(pf::platform::currentProcessId()));
    p = putBefore(p, " [pid ", 6);
    p = putIntBefore(p, millisecond);
    p = putBefore(p, " ", 1);
    // What follows the time is cut to kTextLimit units (the header is ASCII, one
    // byte a unit); a line cut that way has no CR LF, or only its CR.
    size_t length = line.encoded;
    if (!length) {
        const size_t room = kTextLimit - size_t(body - p);
        const size_t units = line.text.size() < room ? line.text.size() : room;
        length = encode(line.text.data(), units, body);
    }
    p = putBefore(p, prefix, prefixLength);
    const size_t written = std::fwrite(p, 1, size_t(body + length - p), stream);
    std::fflush(stream);
    return int(written);
}

int LogFile::close() {
    int result = -1;
    {
        ZvCSLocker guard(&lock);
        opened.store(false, std::memory_order_relaxed);
        if (stream) result = std::fclose(stream);
        stream = nullptr;
    }
    freePool();
    return result;
}

// The slot a thread tries first. Thread ids are spread by a multiplicative hash
// (on Windows they are multiples of four).
size_t LogFile::firstSlot() {
    return size_t((unsigned(pf::platform::currentThreadId()) * 2654435761u) >> 29);
}

LineBuffer* LogFile::lend() {
    const size_t first = firstSlot();
    for (size_t i = 0; i < kSlots; ++i) {
        std::atomic<LineBuffer*>& slot = pool[(first + i) % kSlots].line;
        if (slot.load(std::memory_order_relaxed))
            if (LineBuffer* line = slot.exchange(nullptr, std::memory_order_acquire)) return line;
    }
    return new LineBuffer;
}

void LogFile::giveBack(LineBuffer* line) {
    if (line->text.capacity() <= kKeepUnits) {
        const size_t first = firstSlot();
        for (size_t i = 0; i < kSlots; ++i) {
            LineBuffer* empty = nullptr;
            if (pool[(first + i) % kSlots].line.compare_exchange_strong(
                    empty, line, std::memory_order_release, std::memory_order_relaxed))
                return;
        }
    }
    delete line;
}

void LogFile::freePool() {
    for (Slot& slot : pool)
        delete slot.line.exchange(nullptr, std::memory_order_acquire);
}

VTQLogger::VTQLogger() : file(nullptr), installHook(false) {}

VTQLogger::~VTQLogger() {
    _closeLog();
    LogFile* f = file.exchange(nullptr);
    if (f != s_record) delete f;
}

VTQLogger* VTQLogger::Instance() {
    return s_instance.load(std::memory_order_acquire);
}

void VTQLogger::_closeLog() {
    if (LogFile* f = file.load(std::memory_order_acquire)) f->close();
}

bool VTQLogger::InitLog(const wchar16* path) {
    try {
        LogFile* f = file.load(std::memory_order_acquire);
        if (!f) {
            LogFile* fresh = recordFor(this);
            if (file.compare_exchange_strong(f, fresh, std::memory_order_acq_rel)) {
                f = fresh;
            } else if (fresh != s_record) {
                delete fresh; // another thread's LogFile won
            }
        }
        ZvCSLocker guard(&f->lock);
        if (f->stream) return false; // a log is open: it stays the log
        return f->open(path);
    } catch (const std::exception&) {
        return false;
    }
}

void VTQLogger::__Log(const wchar16* format, va_list args, int level) {
    LogFile* f = file.load(std::memory_order_acquire);
    if (!f || !f->opened.load(std::memory_order_relaxed)) return;
    LineBuffer* line = nullptr;
    try {
        line = f->lend();
        // Tag, then the message cut to kTextLimit units and at its first 0 unit.
        wstring16& text = line->text;
        text.assign(levelTag(level));
        const size_t start = text.size();
        pf::vformatAppend(text, format, args);
        const size_t zero = text.find(wchar16(0), start);
        const size_t end = zero < start + kTextLimit ? zero : start + kTextLimit;
        if (text.size() > end) text.resize(end);
        text += kCrLf;
        // A line that fits whatever the header holds is encoded here; a longer one
        // is cut under the lock, where the header's length is known.
        const size_t worst = kHeaderRoom + 3 * text.size();
        if (line->bytes.size() < worst) line->bytes.resize(worst);
        line->encoded = kIdsMax + text.size() <= kTextLimit
                            ? encode(text.data(), text.size(), &line->bytes[kHeaderRoom])
                            : 0;
        f->write(*line);
    } catch (const std::exception&) {
        // Out of memory: the line is dropped.
    }
    if (line) f->giveBack(line);
}

wstring16 VTQLogger::__GetLogLevel(int level) {
    return levelTag(level);
}

#define PUBFUNC_LOG_LEVEL(method, level)                                                           \
    void VTQLogger::method(const wchar16* format, ...) {                                           \
        va_list args;                                                                              \
        va_start(args, format);                                                                    \
        __Log(format, args, level);                                                                \
        va_end(args);                                                                              \
    }
PUBFUNC_LOG_LEVEL(LogInfo, 0)
PUBFUNC_LOG_LEVEL(LogWaring, 1)
PUBFUNC_LOG_LEVEL(LogError, 2)
PUBFUNC_LOG_LEVEL(LogFatal, 3)
#undef PUBFUNC_LOG_LEVEL

void VTQLogger::LogDebug(const wchar16*, ...) {}

void VTQLogger::SetInstallHook(bool installed) {
    installHook.store(installed, std::memory_order_release);
}
bool VTQLogger::isInstallHook() {
    return installHook.load(std::memory_order_acquire);
}

} // namespace VTQ

namespace pf {
namespace logger {

void create() {
    VTQ::s_record = new (VTQ::s_recordStorage) VTQ::LogFile;
    VTQ::s_instance.store(new (VTQ::s_storage) VTQ::VTQLogger, std::memory_order_release);
}

// Closes the log and leaves the logger and its record in place: code that still
// logs after the library's clean-up ran (another thread, an exit handler
// registered earlier) finds Instance() as it always does, and its lines are
// dropped. InitLog may open a log again.
void destroy() {
    if (VTQ::s_record) VTQ::s_record->close();
}

} // namespace logger
} // namespace pf
