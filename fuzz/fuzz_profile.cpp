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
    // In memory where it can be: each write syncs the file.
    static const std::string file = std::string(access("/dev/shm", W_OK) ? "/tmp" : "/dev/shm") +
                                    "/fuzz_profile." + std::to_string(getpid()) + ".ini";
    const std::string in(reinterpret_cast<const char*>(data), size), blanks = " \t";
    const size_t eol = std::min(in.find('\n'), size), bar = in.find('|'),
                 bar2 = in.find('|', bar + 1);
    if (bar2 >= eol) return 0;
    const std::string section = in.substr(0, bar), key = in.substr(bar + 1, bar2 - bar - 1),
                      value = in.substr(bar2 + 1, eol - bar2 - 1);
    std::ofstream(file, std::ios::binary) << in.substr(std::min(eol + 1, size));
    const std::string read = readProfileString(file, section, key, "");
    REQUIRE(read.size() <= kProfileValueMax);
    REQUIRE(in.find(read, eol) != std::string::npos);
    // Names go in bare: the reader matches the file's names trimmed, the caller's as given.
    const auto plain = [](const std::string& s, bool name) {
        return s.find_first_of(std::string("\r\n[]=;\"'|\0", 10)) == std::string::npos &&
               (!name || s.empty() || (s[0] > ' ' && s.back() > ' '));
    };
    const size_t v0 = std::min(value.find_first_not_of(blanks), value.size());
    const std::string want = value.substr(v0, value.find_last_not_of(blanks) + 1 - v0);
    if (plain(section, true) && plain(key, true) && !key.empty() && plain(value, false) &&
        writeProfileString(file, section, key, value))
        REQUIRE(readProfileString(file, section, key, "-") == want.substr(0, kProfileValueMax));
    unlink(file.c_str());
    return 0;
}
