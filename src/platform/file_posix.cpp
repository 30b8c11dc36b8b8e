// Files by wide path where the file system takes UTF-8 names.
#include "platform/file.h"
#include "platform/utf8.h"

#include <string>

namespace pf {
namespace platform {

FILE* openFile(const unsigned short* path, const char* mode) {
    if (!path || !mode) return nullptr;
    size_t n = 0;
    while (path[n])
        ++n;
    const utf8::Outcome need = utf8::encode(path, n, nullptr, 0);
    if (need.replaced) return nullptr;
    std::string name(need.written, '\0');
    utf8::encode(path, n, reinterpret_cast<unsigned char*>(&name[0]), name.size());
    return std::fopen(name.c_str(), mode);
}

} // namespace platform
} // namespace pf
