// CCpuUsage and GetCpuInfo_All: the sampling rules over the platform calls of
// pf::cpu, and the library's process-wide CCpuUsage.
#include <pubfunc/cpuusage.h>
#include <pubfunc/vtqlogger.h>

#include "core/libframe.h"
#include "sys/cpuusage_internal.h"

#include <cstdlib>
#include <new>

CCpuUsage::CCpuUsage() : info(nullptr), process(nullptr) {}

// The record lives on the C heap, as the sample record of a plain struct: no
// operator new that a host replaces is involved.
//
// A copy owns copies: its own record of the last sample and its own handle.
CCpuUsage::CCpuUsage(const CCpuUsage& other) : info(nullptr), process(nullptr) {
    *this = other;
}

CCpuUsage& CCpuUsage::operator=(const CCpuUsage& other) {
    if (this == &other) return *this;
    std::free(info);
    info = nullptr;
    if (process) pf::cpu::closeProcess(process);
    process = other.process ? pf::cpu::duplicateProcess(other.process) : nullptr;
    if (process && other.info) info = static_cast<os_cpu_usage_info*>(std::malloc(sizeof(*info)));
    if (info) *info = *other.info;
    return *this;
}

CCpuUsage::~CCpuUsage() {
    std::free(info);
    if (process) pf::cpu::closeProcess(process);
    pf::cpu::setDebugPrivilege(false);
}

double CCpuUsage::OSGetProcessCPUUsage(unsigned long pid) {
    if (info) return os_cpu_usage_info_query(info);
    if (!pf::cpu::setDebugPrivilege(true)) return 0.0;
    if (process) pf::cpu::closeProcess(process); // a copy of an object that never sampled
    process = pf::cpu::openProcess(pid);
    if (!process) {
        VTQ::VTQLogger::Instance()->LogInfo(
            W16("CCpuUsage::OSGetProcessCPUUsage open process failed,0x%x"),
            unsigned(pf::cpu::lastError()));
        return 0.0;
    }
    info = os_cpu_usage_info_start();
    return os_cpu_usage_info_query(info);
}

os_cpu_usage_info* CCpuUsage::os_cpu_usage_info_start() {
    os_cpu_usage_info* record = static_cast<os_cpu_usage_info*>(std::calloc(1, sizeof(*record)));
    if (!record) return nullptr;
    record->processor_count = pf::cpu::processorCount();
    record->last_time = pf::cpu::systemTime();
    pf::cpu::processTimes(process, record->last_kernel_time, record->last_user_time);
    return record;
}

// No time between the samples (or no processor count) gives 0.0 rather than a
// quotient over zero.
double CCpuUsage::os_cpu_usage_info_query(os_cpu_usage_info* record) {
    if (!record) return 0.0;
    const unsigned long long now = pf::cpu::systemTime();
    unsigned long long kernel = 0, user = 0;
    pf::cpu::processTimes(process, kernel, user);
    const double used =
        double((kernel + user) - (record->last_kernel_time + record->last_user_time));
    const double elapsed = double(now - record->last_time);
    record->last_time = now;
    record->last_kernel_time = kernel;
    record->last_user_time = user;
    if (elapsed == 0.0 || record->processor_count == 0) return 0.0;
    return used / elapsed / record->processor_count * 100.0;
}

int GetCpuNumber() {
    return int(pf::cpu::processorCount());
}

namespace {

pf::cpu::LoadQuery* s_loadQuery = nullptr;
bool s_loadQueryMade = false;

alignas(CCpuUsage) unsigned char s_globalStorage[sizeof(CCpuUsage)];
CCpuUsage* s_global = nullptr;

} // namespace

// The query is made on the first call and lives until the library unloads.
int GetCpuInfo_All() {
    if (!s_loadQueryMade) {
        s_loadQueryMade = true;
        s_loadQuery = pf::cpu::createLoadQuery(pf::cpu::defaultLoadSource());
        pf::frame::atUnload("machine-load query", [] {
            pf::cpu::destroyLoadQuery(s_loadQuery);
            s_loadQuery = nullptr;
        });
    }
    return s_loadQuery ? pf::cpu::queryLoad(s_loadQuery) : -1;
}

namespace pf {
namespace cpu {

void createGlobal() {
    s_global = new (s_globalStorage) CCpuUsage();
}

void destroyGlobal() {
    if (!s_global) return;
    s_global->~CCpuUsage();
    s_global = nullptr;
}

CCpuUsage* global() {
    return s_global;
}

} // namespace cpu
} // namespace pf
