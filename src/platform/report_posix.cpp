// Error reports on Linux: one UTF-8 line on standard error, and SIGTRAP when a
// debugger traces the process.
#include "platform/report.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
void appendUtf8(std::string& out, const char16_t* s) {
    while (*s) {
        char32_t c = *s++;
        if (c >= 0xD800 && c < 0xDC00 && *s >= 0xDC00 && *s < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (*s++ - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
}

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
// it in parts), so that reports from several processes do not interleave.
void showErrorMessage(const wchar16* caption, const wchar16* text) {
    std::string line;
    appendUtf8(line, caption);
    line += ": ";
    appendUtf8(line, text);
    line += '\n';
    const char* at = line.data();
    size_t left = line.size();
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
