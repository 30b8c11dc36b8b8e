// fuzz_profile: the profile-file reader and writer. The input's first line is
// "section|key|value"; the rest is the file. A value read is at most
// kProfileValueMax bytes and, when the key is found, a piece of the file; after a
// write of names and a value that the file's syntax can carry, the read gives the
// value back, trimmed.
#include "sys/profile.h"
#include "xml/markup_check.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace pf::sys;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = "/tmp/fuzz_profile." + std::to_string(getpid()) + ".ini";
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t eol = std::min(input.find('\n'), size), bar = input.find('|'),
                 bar2 = input.find('|', bar + 1);
    if (bar2 >= eol) return 0;
    const std::string section = input.substr(0, bar), key = input.substr(bar + 1, bar2 - bar - 1),
                      value = input.substr(bar2 + 1, eol - bar2 - 1);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        << input.substr(std::min(eol + 1, size));
    const std::string read = readProfileString(file, section, key, "");
    REQUIRE(read.size() <= kProfileValueMax);
    REQUIRE(input.find(read, eol) != std::string::npos);
    const auto plain = [](const std::string& s) {
        return s.find_first_of(std::string("\r\n[]=;\"'|\0", 10)) == std::string::npos;
    };
    // Names go in bare: the reader matches the file's names trimmed, the caller's as given.
    const auto bare = [&](const std::string& s) {
        return plain(s) && (s.empty() || (s[0] > ' ' && s.back() > ' '));
    };
    const size_t v0 = value.find_first_not_of(" \t"), v1 = value.find_last_not_of(" \t");
    if (bare(section) && bare(key) && !key.empty() && plain(value) &&
        writeProfileString(file, section, key, value))
        REQUIRE(readProfileString(file, section, key, "-") ==
                (v0 == std::string::npos
                     ? ""
                     : value.substr(v0, v1 - v0 + 1).substr(0, kProfileValueMax)));
    unlink(file.c_str());
    return 0;
}
