// Error reports on Linux: one UTF-8 line on standard error, and SIGTRAP when a
// debugger traces the process.
#include "platform/report.h"
#include "platform/utf8.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A debugger (or any tracer) shows up as a non-zero TracerPid of this process.
bool traced() {
    const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[8192];
    ssize_t len = 0, got;
    while (len < ssize_t(sizeof buf) - 1 && (got = read(fd, buf + len, sizeof buf - 1 - len)) > 0)
        len += got;
    close(fd);
    buf[len] = 0;
    const char* field = std::strstr(buf, "TracerPid:");
    return field && std::atoi(field + std::strlen("TracerPid:")) != 0;
}

} // namespace

namespace pf {
namespace platform {

// The line is built first and written whole (in one write unless the system takes
// it in parts), so that reports from several processes do not interleave. It is
// built on the stack: the pool reports under its lock, where nothing may allocate.
// A text too long for the line is cut at a character boundary.
void showErrorMessage(const wchar16* caption, const wchar16* text) {
    char line[16384];
    size_t len = 0;
    // Appends s, leaving `reserve` bytes for what follows it.
    const auto append = [&](const wchar16* s, size_t reserve) {
        size_t n = 0;
        while (s[n])
            ++n;
        const auto* units = reinterpret_cast<const utf8::unit*>(s);
        len += utf8::encode(units, n, reinterpret_cast<unsigned char*>(line + len),
                            sizeof line - reserve - len)
                   .written;
    };
    append(caption, 3);
    line[len++] = ':';
    line[len++] = ' ';
    append(text, 1);
    line[len++] = '\n';
    const char* at = line;
    size_t left = len;
    while (left) {
        const ssize_t n = write(STDERR_FILENO, at, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        at += n;
        left -= size_t(n);
    }
}

// SIGTRAP is ignored while it is raised: the kernel still stops a traced process
// for its tracer on an ignored signal, so a debugger breaks here, while a tracer
// that passes the signal on (a system-call tracer) cannot end the process with it.
void breakIfDebugged() {
    if (!traced()) return;
    struct sigaction ignore = {}, previous;
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGTRAP, &ignore, &previous);
    std::raise(SIGTRAP);
    sigaction(SIGTRAP, &previous, nullptr);
}

} // namespace platform
} // namespace pf
