// CCpuUsage, GetCpuNumber, GetCpuInfo_All: process and machine CPU load.
#pragma once

#include <pubfunc/export.h>

#if defined(_WIN32)
#include <windows.h>
#endif

// The previous sample of a measured process; times in 100-nanosecond units.
struct os_cpu_usage_info {
    unsigned long long last_time;        // system time of the sample
    unsigned long long last_kernel_time; // the process's kernel time then
    unsigned long long last_user_time;   // its user time then
    unsigned int processor_count;
};

// The CPU share of one process in percent of the whole machine (every logical
// processor), measured between successive calls. The first successful call
// chooses the process for good and measures almost no time; values mean something
// from the second call on. One object serves one thread at a time.
//
// Linux: the process's times come from /proc/<pid>/stat (the handle is that
// file, held open, so a reused id is never measured by mistake), the time between
// samples from CLOCK_MONOTONIC, and no privilege is needed.
//
// No time between two samples gives 0.0. A copy takes its own copy of the last
// sample and its own handle of the process, so two objects never free the same
// record or close the same handle.
class PUBFUNC_API CCpuUsage {
public:
    CCpuUsage();
    CCpuUsage(const CCpuUsage& other);
    CCpuUsage& operator=(const CCpuUsage& other);
    virtual ~CCpuUsage();

    // 0.0 when the process cannot be opened (logged with the system's error code);
    // the next call then tries again. pid is ignored once a process is chosen.
    double OSGetProcessCPUUsage(unsigned long pid);

private:
    os_cpu_usage_info* os_cpu_usage_info_start();
    double os_cpu_usage_info_query(os_cpu_usage_info* info);

    os_cpu_usage_info* info;
    HANDLE process;
};

// The number of logical processors.
PUBFUNC_API int GetCpuNumber();

// The machine's CPU load in percent since the previous call, rounded; -1 when no
// value is available, which is what the first call gives (one sample needs a
// second), and on every call when the performance-data library or one of its
// entries is missing; 0 when opening the query failed on the first call (every
// later call is then -1). Windows loads "pdh.dll" from the system folder only.
// Linux reads the machine's times from /proc/stat. Not locked: one thread at a
// time, the first call before other threads call it.
PUBFUNC_API int GetCpuInfo_All();
