// Opening files named by 16-bit UTF-16 paths.
#pragma once

#include <cstdio>

namespace pf {
namespace platform {

// Opens the file at a terminated UTF-16 path with a C runtime mode ("wb", "rb",
// "ab", ...). Null on failure and for a null path or mode. Where the file system
// names files in bytes (UTF-8), a path that is not well-formed UTF-16 fails
// rather than opening a file of another name.
FILE* openFile(const unsigned short* path, const char* mode);

} // namespace platform
} // namespace pf
