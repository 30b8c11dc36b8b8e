// The platform calls behind CCpuUsage and GetCpuInfo_All (cpuusage_win.cpp,
// cpuusage_posix.cpp), the machine-load query the white-box tests build over a
// source of their choice, and the process-wide CCpuUsage of the library frame.
#pragma once

#include <pubfunc/cpuusage.h>

namespace pf {
namespace cpu {

// Switches the debug privilege of the own process on or off; false when a step
// fails. Nothing to do (true) where no privilege is needed.
bool setDebugPrivilege(bool enable);
// A handle that reads the process's times; null on failure (lastError says why).
HANDLE openProcess(unsigned long pid);
HANDLE duplicateProcess(HANDLE process);
void closeProcess(HANDLE process);
bool processTimes(HANDLE process, unsigned long long& kernel, unsigned long long& user);
unsigned long long systemTime(); // 100-nanosecond units
unsigned int processorCount();
unsigned long lastError();

// The machine-load query over its source: the performance-data library's path on
// Windows, a file laid out as /proc/stat on Linux. query follows the protocol of
// GetCpuInfo_All.
struct LoadQuery;
wstring16 defaultLoadSource();
LoadQuery* createLoadQuery(const wstring16& source);
int queryLoad(LoadQuery* query);
void destroyLoadQuery(LoadQuery* query);

// The library's own CCpuUsage, constructed and destroyed by the library frame;
// null outside that span.
void createGlobal();
void destroyGlobal();
CCpuUsage* global();

} // namespace cpu
} // namespace pf
