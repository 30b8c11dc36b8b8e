// The user's folders from the XDG variables and the home folder, file existence,
// free space and BMP output where paths are UTF-8 bytes.
#include <pubfunc/pubfunc.h>

#include "platform/fs.h"
#include "sys/process.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

wstring16 wide(const std::string& utf8) {
    return pubfunc::toWideString(utf8.c_str(), int(utf8.size()), 65001);
}

// An unpaired surrogate names no file: the path is then empty.
std::string bytes(const wstring16& path) {
    return pubfunc::toNarrowString(path.c_str(), -1, 65001);
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// $HOME, else the account's home folder.
std::string home() {
    if (const char* env = std::getenv("HOME"); env && *env) return withoutTrailingSlash(env);
    passwd entry;
    passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &entry, buf, sizeof buf, &found) == 0 && found && found->pw_dir)
        return withoutTrailingSlash(found->pw_dir);
    return std::string();
}

// The variable when it holds an absolute path (a relative one is ignored, as the
// XDG rules ask), else the home folder's subfolder; empty without a home folder.
std::string userFolder(const char* variable, const char* fallback) {
    if (const char* env = std::getenv(variable); env && env[0] == '/')
        return withoutTrailingSlash(env);
    const std::string base = home();
    return base.empty() ? base : base + "/" + fallback;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

namespace pf {
namespace sys {

wstring16 appDataFolder() {
    return wide(userFolder("XDG_CONFIG_HOME", ".config"));
}

wstring16 documentsFolder() {
    const wstring16 folder = wide(userFolder("XDG_DOCUMENTS_DIR", "Documents"));
    if (!folder.empty())
        pf::platform::createFolderChain(reinterpret_cast<const unsigned short*>(folder.c_str()));
    return pf::platform::isDirectory(reinterpret_cast<const unsigned short*>(folder.c_str()))
               ? folder
               : wstring16();
}

// The results of the writes are not reported, as on Windows.
bool writeFromStart(const wstring16& path, const char* head, size_t headSize, const char* data,
                    size_t size) {
    const std::string name = bytes(path);
    const int fd = name.empty() ? -1 : open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    if (writeAll(fd, head, headSize) && size) writeAll(fd, data, size);
    close(fd);
    return true;
}

} // namespace sys
} // namespace pf

bool pubfunc::isFileExist(const wstring16& path) {
    const std::string name = bytes(path);
    struct stat st;
    return !name.empty() && stat(name.c_str(), &st) == 0;
}

// A path that does not exist yet is asked through its nearest existing parent,
// so a file about to be written has an answer.
long long pubfunc::getDiskFreeSpace(const wstring16& path) {
    std::string name = withoutTrailingSlash(bytes(path));
    struct statvfs fs;
    while (!name.empty()) {
        if (statvfs(name.c_str(), &fs) == 0)
            return static_cast<long long>(fs.f_bavail) * static_cast<long long>(fs.f_frsize);
        if (errno != ENOENT && errno != ENOTDIR) return 0;
        const size_t slash = name.rfind('/');
        if (slash == std::string::npos) return 0;
        name = slash == 0 ? "/" : name.substr(0, slash);
    }
    return 0;
}
