// Linux facts for pubfunc's system information: memory and processor from /proc
// and /sys; the Windows-only facts give their absent results.
#include <pubfunc/pubfunc.h>

#include "sys/dllhelper_internal.h"
#include "sys/sysinfo_internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr long kSFalse = 1;

// The text after "key<blanks>: " on the first line of a /proc file that starts
// with key; empty when none does.
std::string procField(const char* path, const char* key) {
    FILE* file = std::fopen(path, "r");
    if (!file) return std::string();
    const size_t keyLength = std::strlen(key);
    std::string out;
    char line[1024];
    while (std::fgets(line, sizeof(line), file)) {
        if (std::strncmp(line, key, keyLength) != 0) continue;
        const char* at = line + keyLength;
        while (*at == ' ' || *at == '\t')
            ++at;
        if (*at != ':') continue;
        ++at;
        while (*at == ' ')
            ++at;
        out.assign(at, std::strcspn(at, "\n"));
        break;
    }
    std::fclose(file);
    return out;
}

} // namespace

namespace pf {
namespace sysinfo {

// Linux stands as the newest system of the table.
bool queryVersion(unsigned int& major, unsigned int& minor) {
    major = 10;
    minor = 0;
    return true;
}

} // namespace sysinfo
} // namespace pf

bool pubfunc::IsWin10OSVersion() {
    return false;
}

unsigned long long pubfunc::GetMemoryTotal() {
    const std::string kib = procField("/proc/meminfo", "MemTotal");
    return std::strtoull(kib.c_str(), nullptr, 10) >> 10;
}

// The highest clock, as a processor's rated speed is; the current one when the
// frequency driver is not there (virtual machines).
unsigned long pubfunc::GetCPUSpeed() {
    if (FILE* file = std::fopen("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "r")) {
        unsigned long khz = 0;
        const bool read = std::fscanf(file, "%lu", &khz) == 1;
        std::fclose(file);
        if (read && khz > 0) return khz / 1000;
    }
    return static_cast<unsigned long>(
        std::strtod(procField("/proc/cpuinfo", "cpu MHz").c_str(), nullptr));
}

wstring16 pubfunc::getCPUName() {
    const std::string name = procField("/proc/cpuinfo", "model name");
    return pf::dl::fromUtf8(name.data(), name.size());
}

wstring16 pubfunc::GetDisplayAdapterName() {
    return wstring16();
}

bool pubfunc::IsCompositionEnabled() {
    return false;
}

long pubfunc::enableComposition(bool) {
    return kSFalse;
}
