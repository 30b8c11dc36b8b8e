// Profile (INI) files by narrow path, section, key and value: the system's profile
// functions on Windows (profile_win.cpp), the library's own reader and writer
// elsewhere (profile_posix.cpp), with the same observable rules.
#pragma once

#include <string>

namespace pf {
namespace sys {

// Values read are cut to kProfileValueMax bytes.
constexpr size_t kProfileValueMax = 1023;

// The value of key in section, or def when the file, section or key is missing.
std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& def);
// Sets key in section to value, creating the file, section or key as needed;
// false when the file cannot be written.
bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

} // namespace sys
} // namespace pf
