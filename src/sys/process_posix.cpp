// pubfunc's process utilities where processes are read from /proc and there are
// no windows: the window functions give their absent results, the browser is
// xdg-open.
#include <pubfunc/pubfunc.h>

#include "sys/process.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <climits>
#include <spawn.h>
#include <system_error>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

wstring16 wide(const std::string& utf8) {
    return pubfunc::toWideString(utf8.c_str(), int(utf8.size()), 65001);
}

// Waits for the opener so that it leaves no zombie behind.
void openUrlWorker(std::string url) {
    char program[] = "xdg-open";
    char* argv[] = {program, &url[0], nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program, nullptr, nullptr, argv, environ) == 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

} // namespace

namespace pf {
namespace sys {

// The library's own file is the object that holds this function, made absolute
// since the loader keeps the name it was asked for.
wstring16 modulePath(bool library) {
    char path[PATH_MAX];
    if (!library) {
        const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        return n > 0 ? wide(std::string(path, size_t(n))) : wstring16();
    }
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&modulePath), &info) || !info.dli_fname) return wstring16();
    return realpath(info.dli_fname, path) ? wide(path) : wstring16();
}

} // namespace sys
} // namespace pf

// A thread id has a /proc entry too, so the entry's thread-group id must be the
// id asked for.
bool pubfunc::isProcessExist(unsigned long pid) {
    char name[64];
    std::snprintf(name, sizeof name, "/proc/%lu/status", pid);
    FILE* f = std::fopen(name, "r");
    if (!f) return false;
    char line[256];
    unsigned long group = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f))
        found = std::sscanf(line, "Tgid: %lu", &group) == 1;
    std::fclose(f);
    return found && group == pid;
}

HWND pubfunc::getProcessMainWnd(unsigned long, const wstring16&) {
    return nullptr;
}

void pubfunc::showProcessMainWnd(unsigned long) {}

unsigned long pubfunc::getProcessIDWnd(const wstring16&, HWND&, const wstring16&) {
    return 0;
}

HWND pubfunc::FindWindowTop(HWND) {
    return nullptr;
}

bool pubfunc::changeUIPIMessageFilter(unsigned long, bool) {
    return false;
}

// A url that begins with '-' is refused: no url does, and xdg-open would take it
// for an option.
bool pubfunc::openUrl(const wstring16& url) {
    if (url.empty() || url[0] == u'-') return false;
    std::string utf8 = toNarrowString(url.c_str(), -1, 65001);
    try {
        std::thread(openUrlWorker, std::move(utf8)).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

int pubfunc::DebugPrivilege(wchar16*, int) {
    return 0;
}
