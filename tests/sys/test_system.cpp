// CDLLHelper's ownership, CShareData in one process, CCpuUsage, the system facts
// and the real clock's sleeps.
#include <pubfunc/cpuclock.h>
#include <pubfunc/cpuusage.h>
#include <pubfunc/dllhelper.h>
#include <pubfunc/pubfunc.h>
#include <pubfunc/sharedata.h>
#include <pubfunc/vtqlogger.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#define getpid() GetCurrentProcessId()
#else
#include <unistd.h>
#endif

namespace {
wstring16 wide(const std::string& text) {
    return wstring16(text.begin(), text.end());
}
bool loaded(const wstring16& name) {
    CDLLHelper finder;
    return finder.FindDll(name);
}
} // namespace

// Only the loader of a library frees it: a found handle, a copy and a replaced
// borrowed handle never do; a missing file leaves no handle.
TEST(CDLLHelper, OnlyTheOwnerReleases) {
    const wstring16 probe = wide(PUBFUNC_PROBE);
    CDLLHelper missing;
    EXPECT_FALSE(missing.LoadDll(W16("no-such-library.dll")));
    EXPECT_FALSE(missing.IsValidDll());
    EXPECT_EQ(missing.GetProcAddress("probeIdentity"), nullptr);
    {
        CDLLHelper owner;
        ASSERT_TRUE(owner.LoadDll(probe));
        EXPECT_NE(owner.GetProcAddress("probeIdentity"), nullptr);
        EXPECT_EQ(owner.GetProcAddress("noSuchEntry"), nullptr);
        {
            CDLLHelper copy(owner), assigned;
            assigned = owner;
        }
        {
            CDLLHelper found;
            EXPECT_TRUE(found.FindDll(probe));
        }
        CDLLHelper replaced;
        EXPECT_TRUE(replaced.GetModuleHandleW(probe.c_str()));
        EXPECT_FALSE(replaced.LoadDll(W16("no-such-library.dll")));
        EXPECT_TRUE(loaded(probe)) << "a borrowed handle released the library";
    }
    EXPECT_FALSE(loaded(probe)) << "the owner kept the library";
}

// One process, two objects on one block: the size given bounds every copy, a held
// block is kept, and a closed object has nothing; a copy owns nothing.
TEST(CShareData, BlockRules) {
    const wstring16 name = wide("pubfunc_block_" + std::to_string(getpid()));
    CShareData writer, reader;
    EXPECT_FALSE(writer.createSharedFile(W16(""), 8));
    EXPECT_FALSE(reader.openSharedFile(name, 8));
    ASSERT_TRUE(writer.createSharedFile(name, 8));
    char* view = writer.getSharedData();
    EXPECT_FALSE(writer.createSharedFile(name + W16("x"), 8));
    EXPECT_TRUE(writer.openSharedFile(name + W16("x"), 8));
    EXPECT_EQ(writer.getSharedData(), view) << "the first block was not kept";
    EXPECT_EQ(writer.writeData("0123456789", 10), 0u);
    EXPECT_EQ(writer.writeData("01234567", 8), 8u);
    ASSERT_TRUE(reader.openSharedFile(name, 8));
    { CShareData copy(reader); }
    char got[9] = {};
    EXPECT_EQ(reader.getSharedData(got, 8), 8u);
    EXPECT_STREQ(got, "01234567");
    reader.closeSharedFile();
    EXPECT_EQ(reader.getSharedData(), nullptr);
    EXPECT_EQ(reader.getSharedData(got, 1), 0u);
    EXPECT_EQ(reader.writeData(got, 1), 0u);
}

// A process that cannot be opened gives 0.0 and logs the system's code in hex. A
// copy's destruction leaves the original's handle and record alone.
TEST(CCpuUsage, MissingProcessAndCopies) {
    std::remove("cpu.log");
    ASSERT_TRUE(VTQ::VTQLogger::Instance()->InitLog(W16("./cpu.log")));
    CCpuUsage none;
    EXPECT_EQ(none.OSGetProcessCPUUsage(0x7FFFFFF0), 0.0);
    std::ifstream in("cpu.log", std::ios::binary);
    std::string line;
    std::getline(in, line);
#if defined(_WIN32)
    const char* code = "0x57"; // ERROR_INVALID_PARAMETER
#else
    const char* code = "0x2"; // ENOENT: no /proc entry
#endif
    EXPECT_EQ(line.substr(line.find(":info ") + 6, line.find('\r') - line.find(":info ") - 6),
              std::string("CCpuUsage::OSGetProcessCPUUsage open process failed,") + code);
    CCpuUsage self;
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
    EXPECT_EQ(GetCpuNumber(), int(std::thread::hardware_concurrency()));
}

// The version code is 0 until initPubfunc; the facts a machine always has.
TEST(pubfunc, SystemFacts) {
    EXPECT_EQ(pubfunc::getOSVersion(), 0);
    pubfunc::initPubfunc();
    EXPECT_EQ(pubfunc::getOSVersion(), pubfunc::OSGetVersion());
    EXPECT_GT(pubfunc::GetMemoryTotal(), 0u);
    EXPECT_GT(pubfunc::GetCPUSpeed(), 0u);
    EXPECT_FALSE(pubfunc::getCPUName().empty());
    EXPECT_EQ(pubfunc::getCPUUsage(getpid()), 0) << "the first call measures no time";
#if !defined(_WIN32)
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
        EXPECT_TRUE(CPUClock::sleepToNS(target)) << i;
        EXPECT_GE(CPUClock::getQPCTimeNS(), target) << "sleep " << i << " of " << ahead << " ns";
    }
}

#if defined(_WIN32)
// The adapter's name as the registry holds it, in both forms (the UTF-16 text as
// binary, then as a string), written into the test run's own prefix. Windows only:
// Linux has no such registry value.
TEST(pubfunc, DisplayAdapterNameFromRegistry_Win) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                              L"System\\ControlSet001\\Control\\Class\\"
                              L"{4D36E968-E325-11CE-BFC1-08002BE10318}\\0000",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t text[] = L"Example Adapter 100";
    for (const DWORD form : {DWORD(REG_BINARY), DWORD(REG_SZ)}) {
        RegSetValueExW(key, L"HardwareInformation.AdapterString", 0, form, (const BYTE*)text,
                       sizeof(text) - (form == REG_BINARY ? 2 : 0));
        EXPECT_EQ(pubfunc::GetDisplayAdapterName(), text) << "type " << form;
    }
    RegCloseKey(key);
}
#endif
