// VTQ::VTQLogger: the process-wide file logger.
#pragma once

#include <pubfunc/export.h>

#include <atomic>
#include <cstdarg>

namespace VTQ {

class LogFile;

// One logger per process, reached through Instance(). InitLog opens the log once;
// until then, and after a failed InitLog, every line is dropped without error.
// Each line is UTF-8 text:
//   "Mon Mar 06 14:05:09 2017: 7 [pid 4120] [tid 5208]  :error message" CR LF
// (local time with the day and month names of the current locale, milliseconds
// unpadded, the level tag, the formatted message), and is flushed at once.
// Messages are cut to 4,091 characters, and so is the whole line after the time,
// which then has no line end. A log over 20,971,520 bytes when it is opened is
// moved to path.bk (the old .bk to path.bk.bk) and started afresh; when a move
// fails, the log is appended to and no backup is lost. Any thread may log, also
// while the library unloads or the process exits; lines never interleave. Nothing
// is thrown: a line that runs out of memory is dropped.
class PUBFUNC_API VTQLogger {
public:
    VTQLogger();
    ~VTQLogger();
    VTQLogger(const VTQLogger&) = delete;
    VTQLogger& operator=(const VTQLogger&) = delete;

    static VTQLogger* Instance(); // never null

    // Opens path (creating missing folders of an absolute path) for appending.
    // False when a log is already open (it stays the log), or when the folder or
    // file cannot be had.
    bool InitLog(const wchar16* path);

    void LogInfo(const wchar16* format, ...);
    void LogWaring(const wchar16* format, ...);
    void LogError(const wchar16* format, ...);
    void LogFatal(const wchar16* format, ...);
    void LogDebug(const wchar16* format, ...); // never written

    // A process-wide marker for host modules; the logger itself never reads it.
    void SetInstallHook(bool installed);
    bool isInstallHook();

private:
    void _closeLog();
    void __Log(const wchar16* format, va_list args, int level);
    wstring16 __GetLogLevel(int level);

    std::atomic<LogFile*> file;
    std::atomic<bool> installHook; // the size of a bool
};

} // namespace VTQ
