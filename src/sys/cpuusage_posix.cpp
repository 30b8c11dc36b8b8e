// Process times, processor count and the machine load on Linux, from /proc.
#include "sys/cpuusage_internal.h"

#include "sys/dllhelper_internal.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <ctime>
#include <unistd.h>

namespace pf {
namespace cpu {

namespace {

thread_local int s_lastError = 0;

// A process handle is the descriptor of its /proc/<pid>/stat plus one, so that
// descriptor 0 is not mistaken for no handle. The open file keeps naming the
// process it was opened for: once that process is gone, reads fail.
int fdOf(HANDLE process) {
    return int(reinterpret_cast<std::intptr_t>(process)) - 1;
}
HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(std::intptr_t(fd) + 1);
}

unsigned long long ticksTo100ns(unsigned long long ticks) {
    static const long perSecond = sysconf(_SC_CLK_TCK);
    return ticks * 10000000ull / static_cast<unsigned long long>(perSecond > 0 ? perSecond : 100);
}

} // namespace

bool setDebugPrivilege(bool) {
    return true;
}

HANDLE openProcess(unsigned long pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        s_lastError = errno;
        return nullptr;
    }
    return handleOf(fd);
}

HANDLE duplicateProcess(HANDLE process) {
    const int fd = fcntl(fdOf(process), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        s_lastError = errno;
        return nullptr;
    }
    return handleOf(fd);
}

void closeProcess(HANDLE process) {
    ::close(fdOf(process));
}

// utime and stime are the 14th and 15th fields; the name in parentheses (field 2)
// may hold blanks and parentheses, so fields are counted from its last ')'.
bool processTimes(HANDLE process, unsigned long long& kernel, unsigned long long& user) {
    char text[1024];
    const ssize_t n = pread(fdOf(process), text, sizeof(text) - 1, 0);
    if (n <= 0) {
        s_lastError = n < 0 ? errno : ESRCH;
        return false;
    }
    text[n] = '\0';
    const char* at = std::strrchr(text, ')');
    if (!at) return false;
    unsigned long long utime = 0, stime = 0;
    if (std::sscanf(at + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                    &stime) != 2)
        return false;
    kernel = ticksTo100ns(stime);
    user = ticksTo100ns(utime);
    return true;
}

// The monotonic clock, not the wall clock: a step of the system time between two
// samples would make the share meaningless.
unsigned long long systemTime() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long long>(now.tv_sec) * 10000000ull +
           static_cast<unsigned long long>(now.tv_nsec) / 100;
}

unsigned int processorCount() {
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<unsigned int>(n) : 1;
}

unsigned long lastError() {
    return static_cast<unsigned long>(s_lastError);
}

// The machine's busy and total times from the first line of a /proc/stat file.
struct LoadQuery {
    std::string path;
    bool sampled = false;
    unsigned long long busy = 0, total = 0;
};

wstring16 defaultLoadSource() {
    return W16("/proc/stat");
}

namespace {
// Idle time is idle plus iowait; the guest times are part of user time already.
bool readLoad(const std::string& path, unsigned long long& busy, unsigned long long& total) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return false;
    unsigned long long v[8] = {};
    const int got = std::fscanf(file, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1],
                                &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
    std::fclose(file);
    if (got < 4) return false;
    total = 0;
    for (unsigned long long x : v)
        total += x;
    busy = total - v[3] - v[4];
    return true;
}
} // namespace

// The same protocol as the performance-data query: a source that cannot be read
// when the query is made gives -1 on every call (its entries are missing); the
// first call takes the first sample and has no value yet (-1); later calls give the
// load since the previous call, -1 when no time passed.
LoadQuery* createLoadQuery(const wstring16& source) {
    unsigned long long busy, total;
    const std::string path = dl::utf8(source.c_str());
    if (!readLoad(path, busy, total)) return nullptr;
    LoadQuery* q = new (std::nothrow) LoadQuery;
    if (q) q->path = path;
    return q;
}

int queryLoad(LoadQuery* q) {
    if (!q) return -1;
    unsigned long long busy, total;
    if (!readLoad(q->path, busy, total)) return -1;
    const bool hadSample = q->sampled;
    const unsigned long long busyDelta = busy - q->busy, totalDelta = total - q->total;
    q->sampled = true;
    q->busy = busy;
    q->total = total;
    if (!hadSample || totalDelta == 0 || busyDelta > totalDelta) return -1;
    return int(std::lround(double(busyDelta) * 100.0 / double(totalDelta)));
}

void destroyLoadQuery(LoadQuery* q) {
    delete q;
}

} // namespace cpu
} // namespace pf
