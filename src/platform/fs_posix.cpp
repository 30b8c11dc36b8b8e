// Files, folders, ids and local time where file names are UTF-8 bytes.
#include "platform/fs.h"
#include "platform/utf8.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <string>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace pf {
namespace platform {

namespace {
// The error the Windows shell call gives for a relative path.
constexpr int kErrorBadPathname = 161;
constexpr int kErrorAlreadyExists = 183;

// A path that is not well-formed UTF-16 names no file.
bool utf8(const unsigned short* path, std::string& out) {
    if (!path) return false;
    size_t n = 0;
    while (path[n])
        ++n;
    const pf::utf8::Outcome need = pf::utf8::encode(path, n, nullptr, 0);
    if (need.replaced) return false;
    out.assign(need.written, '\0');
    pf::utf8::encode(path, n, reinterpret_cast<unsigned char*>(&out[0]), out.size());
    return true;
}
} // namespace

wchar16 pathSeparator() {
    return u'/';
}

FILE* openFile(const unsigned short* path, const char* mode) {
    std::string name;
    if (!mode || !utf8(path, name)) {
        errno = EINVAL;
        return nullptr;
    }
    FILE* f = std::fopen(name.c_str(), mode);
    struct stat st;
    if (f && fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        errno = EISDIR;
        return nullptr;
    }
    return f;
}

// POSIX has no share modes: the file opens as openFile opens it, and other
// handles can still open it while this one writes.
FILE* openFileUnshared(const unsigned short* path, const char* mode) {
    return openFile(path, mode);
}

namespace {
// strerror_r comes in two shapes; each overload takes one of them.
[[maybe_unused]] const char* errorMessage(int result, const char* buf) {
    return result == 0 ? buf : "Unknown error";
}
[[maybe_unused]] const char* errorMessage(const char* result, const char*) {
    return result;
}
} // namespace

wstring16 errnoText(int error) {
    char buf[256] = "";
    const char* text = errorMessage(strerror_r(error, buf, sizeof buf), buf);
    const size_t n = std::strlen(text);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    wstring16 out(pf::utf8::decode(bytes, n, nullptr, 0).written, u'\0');
    pf::utf8::decode(bytes, n, reinterpret_cast<pf::utf8::unit*>(&out[0]), out.size());
    return out;
}

bool isDirectory(const unsigned short* path) {
    std::string name;
    struct stat st;
    return utf8(path, name) && stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int createFolderChain(const unsigned short* path) {
    std::string name;
    if (!utf8(path, name) || name.empty() || name[0] != '/') return kErrorBadPathname;
    struct stat st;
    if (stat(name.c_str(), &st) == 0) return kErrorAlreadyExists;
    for (size_t slash = name.find('/', 1);; slash = name.find('/', slash + 1)) {
        const std::string level = name.substr(0, slash);
        if (mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) return errno;
        if (slash == std::string::npos) break;
    }
    return isDirectory(path) ? 0 : kErrorAlreadyExists;
}

long long fileSize(FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    return ftello(file);
}

bool removeFile(const unsigned short* path) {
    std::string name;
    return utf8(path, name) && unlink(name.c_str()) == 0;
}

bool moveFile(const unsigned short* from, const unsigned short* to) {
    std::string a, b;
    struct stat st;
    // The Windows move refuses to replace an existing file; so does this one.
    return utf8(from, a) && utf8(to, b) && lstat(b.c_str(), &st) != 0 &&
           std::rename(a.c_str(), b.c_str()) == 0;
}

// Both ids are cached: each costs a system call here (on Windows they are plain
// reads), and a log line needs both. A forked child drops the caches, so it
// reports its own ids.
namespace {
std::atomic<unsigned long> s_pid{0};
thread_local unsigned long t_tid = 0;
void forgetIds() {
    s_pid.store(0);
    t_tid = 0;
}
} // namespace

unsigned long currentProcessId() {
    unsigned long pid = s_pid.load(std::memory_order_relaxed);
    if (!pid) {
        static const int registered = pthread_atfork(nullptr, nullptr, forgetIds);
        (void)registered;
        pid = static_cast<unsigned long>(getpid());
        s_pid.store(pid, std::memory_order_relaxed);
    }
    return pid;
}

unsigned long currentThreadId() {
    if (!t_tid) t_tid = static_cast<unsigned long>(syscall(SYS_gettid));
    return t_tid;
}

void currentTime(long long& seconds, int& millisecond) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    seconds = now.tv_sec;
    millisecond = int(now.tv_nsec / 1000000);
}

// The wide names come from the locale's own tables, whatever its character set;
// wchar_t holds whole code points here, and each becomes one or two UTF-16 units.
int localTimeText(long long seconds, wchar16* text, size_t& length) {
    length = 0;
    const time_t t = time_t(seconds);
    tm local;
    if (!localtime_r(&t, &local)) return errno ? errno : EINVAL;
    wchar_t wide[kTimeTextCap];
    const size_t n = wcsftime(wide, kTimeTextCap, L"%a %b %d %H:%M:%S %Y:", &local);
    size_t out = 0;
    for (size_t i = 0; i < n; ++i) {
        const char32_t c = char32_t(wide[i]);
        if (c < 0x10000) {
            if (out + 1 >= kTimeTextCap) return 0;
            text[out++] = wchar16(c);
        } else {
            if (out + 2 >= kTimeTextCap) return 0;
            text[out++] = wchar16(0xD800 + ((c - 0x10000) >> 10));
            text[out++] = wchar16(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    length = out;
    return 0;
}

} // namespace platform
} // namespace pf
