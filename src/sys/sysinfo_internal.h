// The OS version behind pubfunc's version queries (sysinfo_win.cpp,
// sysinfo_posix.cpp) and the table that turns it into the library's code.
#pragma once

namespace pf {
namespace sysinfo {

// The major and minor version numbers the system reports; false when it reports
// none.
bool queryVersion(unsigned int& major, unsigned int& minor);

// 0 below 6, 6 for 6.0, 7 for 6.1, 8 for 6.2 and everything later.
int versionCode(unsigned int major, unsigned int minor);

} // namespace sysinfo
} // namespace pf
