// VTQ::VTQLogger: the process-wide file logger and its open file.
//
// Lifetime: the singleton is built by the library frame as its first load step,
// and its clean-up, registered first, runs last at unload. The LogFile is created
// by the first InitLog and lives until the logger is destroyed: closing only
// clears its stream under its lock. So a thread that logs while another opens,
// fails to open or closes the log never touches freed memory, and two threads
// that call InitLog at once open one log (exactly one of them gets true).
#include <pubfunc/vtqlogger.h>
#include <pubfunc/zvglobal.h>

#include "core/format.h"
#include "diag/logger_internal.h"
#include "platform/codepage.h"
#include "platform/fs.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace VTQ {

class LogFile {
public:
    bool open(const wchar16* path);
    int write(const wstring16& text);
    int close();

    FILE* stream = nullptr;
    ZvCriticalSection lock;

private:
    void rotate(const wchar16* path);
};

namespace {

constexpr long kRotateAbove = 20971520; // 20 MiB: a larger log is rotated when opened
constexpr size_t kTextLimit = 4091;     // units kept of a message, and of a line

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

// Cuts formatted text to at most kTextLimit units, ending at the first 0 unit, as
// a zeroed 4,092-unit buffer filled by a counted printf would hold it.
wstring16 limited(wstring16 text) {
    const size_t zero = text.find(wchar16(0));
    const size_t n = zero < kTextLimit ? zero : kTextLimit;
    if (text.size() > n) text.resize(n);
    return text;
}

alignas(VTQLogger) unsigned char s_storage[sizeof(VTQLogger)];
std::atomic<VTQLogger*> s_instance{nullptr};

} // namespace

bool LogFile::open(const wchar16* path) {
    ZvCSLocker guard(&lock);
    if (stream) return true;
    if (!path) return false;
    if (!ensureFolder(folderPart(path))) return false;
    stream = pf::platform::openFile(u(path), "a+");
    if (!stream) return false;
    std::fseek(stream, 0, SEEK_END);
    if (std::ftell(stream) > kRotateAbove) rotate(path);
    return stream != nullptr;
}

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
        pf::platform::removeFile(u(first.c_str()));
    }
    pf::platform::moveFile(u(path), u(first.c_str()));
    stream = pf::platform::openFile(u(path), "w+");
}

int LogFile::write(const wstring16& text) {
    ZvCSLocker guard(&lock);
    if (!stream) return 0;
    wstring16 line;
    int millisecond = 0;
    const int error = pf::platform::localTimeText(line, millisecond);
    if (error) {
        const wstring16 failed = pf::format(W16("log failed for get loacl time error :%d"), error);
        std::string bytes(failed.begin(), failed.end()); // ASCII only
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
        std::fflush(stream);
        return -1;
    }
    line += limited(pf::format(W16(" %d [pid %d] [tid %d]  %s\r\n"), millisecond,
                               int(pf::platform::currentProcessId()),
                               int(pf::platform::currentThreadId()), text.c_str()));
    // One conversion into room for the worst case: UTF-8 takes at most three bytes
    // for each UTF-16 unit (a surrogate pair, two units, takes four).
    const int len = int(line.size());
    char small[1024];
    std::string big;
    char* out = small;
    if (3 * len > int(sizeof small)) {
        big.resize(3 * size_t(len));
        out = &big[0];
    }
    const int n = pf::platform::wideToMultiByte(pf::platform::codePageUtf8, 0, u(line.c_str()), len,
                                                out, 3 * len);
    const size_t written = n > 0 ? std::fwrite(out, 1, size_t(n), stream) : 0;
    std::fflush(stream);
    return int(written);
}

int LogFile::close() {
    ZvCSLocker guard(&lock);
    if (!stream) return -1;
    const int r = std::fclose(stream);
    stream = nullptr;
    return r;
}

VTQLogger::VTQLogger() : file(nullptr), installHook(false) {}

VTQLogger::~VTQLogger() {
    _closeLog();
    delete file.exchange(nullptr);
}

VTQLogger* VTQLogger::Instance() {
    return s_instance.load(std::memory_order_acquire);
}

void VTQLogger::_closeLog() {
    if (LogFile* f = file.load(std::memory_order_acquire)) f->close();
}

bool VTQLogger::InitLog(const wchar16* path) {
    LogFile* f = file.load(std::memory_order_acquire);
    if (!f) {
        LogFile* fresh = new LogFile;
        if (file.compare_exchange_strong(f, fresh, std::memory_order_acq_rel)) {
            f = fresh;
        } else {
            delete fresh; // another thread's LogFile won
        }
    }
    ZvCSLocker guard(&f->lock);
    if (f->stream) return false; // a log is open: it stays the log
    return f->open(path);
}

void VTQLogger::__Log(const wchar16* format, va_list args, int level) {
    LogFile* f = file.load(std::memory_order_acquire);
    if (!f || !f->stream) return; // unlocked peek: write() checks again under the lock
    f->write(__GetLogLevel(level) + limited(pf::vformat(format, args)));
}

wstring16 VTQLogger::__GetLogLevel(int level) {
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
    installHook = installed;
}
bool VTQLogger::isInstallHook() {
    return installHook;
}

} // namespace VTQ

namespace pf {
namespace logger {

void create() {
    VTQ::s_instance.store(new (VTQ::s_storage) VTQ::VTQLogger);
}

// Closes the log and leaves a closed logger in place: code that still logs after
// the library's clean-up ran (another thread, an exit handler registered earlier)
// finds Instance() as it always does and its lines are dropped.
void destroy() {
    if (VTQ::VTQLogger* logger = VTQ::s_instance.load()) {
        logger->~VTQLogger();
        new (logger) VTQ::VTQLogger;
    }
}

} // namespace logger
} // namespace pf
