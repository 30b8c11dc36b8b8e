// CDLLHelper's ownership, CCpuUsage, the system facts and the real clock's sleeps.
#include <pubfunc/cpuclock.h>
#include <pubfunc/cpuusage.h>
#include <pubfunc/dllhelper.h>
#include <pubfunc/pubfunc.h>
#include <pubfunc/vtqlogger.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#define getpid() GetCurrentProcessId()
const char* const kNoProcessCode = "0x57"; // ERROR_INVALID_PARAMETER
#else
#include <unistd.h>
const char* const kNoProcessCode = "0x2"; // ENOENT: no /proc entry
#endif

// Only the loader of a library frees it: a copy, a replaced borrowed handle and a
// found handle never do; a missing file leaves no handle, not even the one the
// object held before.
TEST(CDLLHelper, OnlyTheOwnerReleases) {
    const wstring16 probe = W16(PUBFUNC_PROBE);
    const auto loaded = [&probe] { return CDLLHelper().FindDll(probe); };
    {
        CDLLHelper owner;
        ASSERT_TRUE(owner.LoadDll(probe));
        EXPECT_NE(owner.GetProcAddress("probeIdentity"), nullptr);
        EXPECT_EQ(owner.GetProcAddress("noSuchEntry"), nullptr);
        {
            CDLLHelper copy(owner), assigned, replaced;
            assigned = owner;
            EXPECT_TRUE(replaced.GetModuleHandleW(probe.c_str()));
            EXPECT_FALSE(replaced.LoadDll(W16("no-such-library.dll")));
            EXPECT_FALSE(replaced.IsValidDll());
            EXPECT_EQ(replaced.GetProcAddress("probeIdentity"), nullptr);
        }
        EXPECT_TRUE(loaded()) << "a copy or a borrowed handle released the library";
        EXPECT_TRUE(loaded()) << "a found handle released the library";
    }
    EXPECT_FALSE(loaded()) << "the owner kept the library";
}

// The version code is 0 until initPubfunc; the facts a machine always has. A
// process that cannot be opened gives 0.0 and logs the system's code in hex, and
// the object can open another; a copy's destruction leaves the original's handle
// and record alone. The library's own CCpuUsage (getCPUUsage) and the machine load
// (GetCpuInfo_All) measure nothing on their first call and a value on the next;
// Wine's performance-data library answers a fixed 5 from its first collection on,
// so only Linux checks the first load.
TEST(pubfunc, SystemFactsAndCpuUsage) {
    EXPECT_EQ(pubfunc::getOSVersion(), 0);
    pubfunc::initPubfunc();
    EXPECT_GT(pubfunc::GetMemoryTotal(), 0u);
    EXPECT_GT(pubfunc::GetCPUSpeed(), 0u);
    EXPECT_FALSE(pubfunc::getCPUName().empty());
    EXPECT_EQ(GetCpuNumber(), int(std::thread::hardware_concurrency()));
    std::remove("cpu.log");
    ASSERT_TRUE(VTQ::VTQLogger::Instance()->InitLog(W16("./cpu.log")));
    CCpuUsage self;
    EXPECT_EQ(self.OSGetProcessCPUUsage(0x7FFFFFF0), 0.0);
    std::ifstream in("cpu.log", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), {}),
        want = std::string(":info CCpuUsage::OSGetProcessCPUUsage open process failed,") +
               kNoProcessCode + "\r";
    EXPECT_NE(log.find(want), std::string::npos) << log;
    [[maybe_unused]] const int firstLoad = GetCpuInfo_All(); // checked on Linux only
    EXPECT_EQ(pubfunc::getCPUUsage(getpid()), 0) << "the first call measures no time";
    self.OSGetProcessCPUUsage(getpid());
    {
        CCpuUsage copy(self), assigned;
        assigned = self;
        EXPECT_GE(copy.OSGetProcessCPUUsage(1), 0.0);
    }
    for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
         std::chrono::steady_clock::now() < end;) {
    }
    const double usage = self.OSGetProcessCPUUsage(0);
    EXPECT_GT(usage, 0.0);
    EXPECT_LE(usage, 100.0);
    EXPECT_GT(pubfunc::getCPUUsage(0), 0);
    EXPECT_GE(GetCpuInfo_All(), 0) << "no value on the second call";
#if !defined(_WIN32)
    EXPECT_EQ(firstLoad, -1);
    EXPECT_EQ(pubfunc::getOSVersion(), 8);
    EXPECT_EQ(pubfunc::enableComposition(true), 1);
#endif
}

// 1,000 sleeps, mostly short (0.5 to 2 ms), every 25th up to 20 ms: none wakes
// before its target.
TEST(CPUClock, SleepToNSNeverEarly) {
    pubfunc::initPubfunc();
    CPUClock::initClockFreq();
    for (int i = 0; i < 1000; ++i) {
        const unsigned long long ahead = 500000ull + (i % 25 ? i % 16 * 100000 : i / 25 * 487500);
        const unsigned long long target = CPUClock::getQPCTimeNS() + ahead;
        CPUClock::sleepToNS(target);
        EXPECT_GE(CPUClock::getQPCTimeNS(), target) << "sleep " << i << " of " << ahead << " ns";
    }
}

#if defined(_WIN32)
// The adapter's name as the registry holds it, in both forms (the UTF-16 text as
// binary, then as a string), written into the test run's own prefix. Windows only:
// Linux has no such registry value.
TEST(pubfunc, DisplayAdapterNameFromRegistry_Win) {
    const wchar_t* key = L"System\\ControlSet001\\Control\\Class\\"
                         L"{4D36E968-E325-11CE-BFC1-08002BE10318}\\0000";
    const wchar_t text[] = L"Example Adapter 100";
    for (const DWORD form : {DWORD(REG_BINARY), DWORD(REG_SZ)}) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, L"HardwareInformation.AdapterString",
                                  form, text, sizeof(text) - (form == REG_BINARY ? 2 : 0)),
                  ERROR_SUCCESS);
        EXPECT_EQ(pubfunc::GetDisplayAdapterName(), text) << "type " << form;
    }
}
#endif
