// Diagnostics and timing: the log file and the clock.
#include <pubfunc/cpuclock.h>
#include <pubfunc/pubfunc.h>
#include <pubfunc/vtqlogger.h>

int main() {
    pubfunc::initPubfunc(); // once, early: fills the OS version
    CPUClock::initClockFreq();
    wstring16 log = pubfunc::getLogFileDir(W16("readme")); // AppData\...\readme.log
    VTQ::VTQLogger* logger = VTQ::VTQLogger::Instance();
    if (!logger->InitLog(log.c_str())) return 1;

    const unsigned long long start = CPUClock::getQPCTimeNS();
    CPUClock::sleepToNS(start + 5000000); // wakes 5 ms later, to a fraction of one
    const unsigned long long slept = CPUClock::getQPCTimeNS() - start;
    // Wide printf conventions on both builds: %s is wide text, %I64d 64 bits.
    logger->LogInfo(W16("%s slept %I64d ns"), W16("readme"), slept);
    return slept >= 5000000 && pubfunc::isFileExist(log) ? 0 : 1;
}
