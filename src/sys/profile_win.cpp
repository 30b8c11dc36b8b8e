// Profile files through the system's profile functions.
#include "sys/profile.h"

#include <windows.h>

namespace pf {
namespace sys {

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& def) {
    char value[kProfileValueMax + 2] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), value,
                             DWORD(kProfileValueMax + 1), file.c_str());
    return value;
}

bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) !=
           FALSE;
}

} // namespace sys
} // namespace pf
