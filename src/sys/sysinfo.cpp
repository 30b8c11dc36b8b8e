// pubfunc's system information: the version code and the CPU usage of a process,
// over the platform facts of sysinfo_win.cpp and sysinfo_posix.cpp.
#include <pubfunc/pubfunc.h>

#include "sys/cpuusage_internal.h"
#include "sys/sysinfo_internal.h"

namespace {
// The record initPubfunc fills; zero (code 0) until then.
unsigned int s_major = 0;
unsigned int s_minor = 0;
} // namespace

namespace pf {
namespace sysinfo {

int versionCode(unsigned int major, unsigned int minor) {
    if (major < 6) return 0;
    if (major > 6 || minor >= 2) return 8;
    return minor == 0 ? 6 : 7;
}

} // namespace sysinfo
} // namespace pf

void pubfunc::initPubfunc() {
    unsigned int major = 0, minor = 0;
    pf::sysinfo::queryVersion(major, minor);
    s_major = major;
    s_minor = minor;
}

int pubfunc::getOSVersion() {
    return pf::sysinfo::versionCode(s_major, s_minor);
}

int pubfunc::OSGetVersion() {
    unsigned int major = 0, minor = 0;
    pf::sysinfo::queryVersion(major, minor);
    return pf::sysinfo::versionCode(major, minor);
}

bool pubfunc::isAboveVista() {
    unsigned int major = 0, minor = 0;
    return !pf::sysinfo::queryVersion(major, minor) || major >= 6;
}

bool pubfunc::is64BitWindows() {
    return true;
}

int pubfunc::getCPUUsage(unsigned long processId) {
    CCpuUsage* usage = pf::cpu::global();
    return usage ? int(usage->OSGetProcessCPUUsage(processId)) : 0;
}
