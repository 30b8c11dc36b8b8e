// pubfunc: the library's static utility functions.
#pragma once

#include <pubfunc/export.h>

#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

// Static members only; nothing keeps state but GetRandomNum and the frame-rate
// counters. Wide text is UTF-16, narrow text is bytes in the code page named
// (0 is the system's ANSI code page, 65001 is UTF-8).
class PUBFUNC_API pubfunc {
public:
    // --- Text ---

    // length counts input units; -1 means up to the terminating NUL, which never
    // becomes part of the result. A null text, any other negative length, an
    // empty input or a failed conversion give an empty string. Characters the
    // code page cannot hold become its default character.
    static wstring16 toWideString(const char* text, int length, unsigned int codePage);
    static std::string toNarrowString(const wchar16* text, int length, unsigned int codePage);
    // UTF-8 of the NUL-terminated text, with the terminator kept as the last
    // character of the result ("abc" gives 4 characters); null gives empty.
    static std::string toUtf8String(const wchar16* text);

    // Percent-encoding: ASCII letters, digits and '.' stay; every other byte is
    // "%XX" in upper-case hex. The text ends at its first NUL. The wide form
    // encodes the text's UTF-8.
    static std::string URLEncode2(const std::string& text);
    static std::string URLEncode2(const wstring16& text);

    // Lower-case hex of the first length bytes of data (two characters a byte);
    // empty for length 0 or less.
    static std::string getHashString(const char* data, int length);

    // Appends to out (not cleared) the pieces of text between separators,
    // empty pieces included: "a,,b" gives "a", "", "b"; "" gives one empty piece.
    // An empty separator appends text whole.
    static void splitString(const wstring16& text, const wstring16& separator,
                            std::vector<wstring16>& out);

    // True when some unit lies in U+4E00..U+9FBF.
    static bool hasChinese(const wstring16& text);
    // Each unit through towlower/towupper of the current locale, in place.
    static void ToLower(wstring16& text);
    static void ToUpper(wstring16& text);

    // The text after the last '/', or after the last '.'; empty when there is none.
    static wstring16 getFileNameFromUrl(const wstring16& text);
    static wstring16 getFileExtensionName(const wstring16& text);

    // A number in [low, high]; high when low > high. Reseeds a 15-bit generator
    // (the C runtime's on Windows) from the current second on every call, so
    // calls within one second repeat themselves.
    static unsigned int GetRandomNum(unsigned int low, unsigned int high);

    // --- Hotkeys ---

    // A packed hotkey as text: the high 16 bits are flags (0x1 Shift, 0x2 Ctrl,
    // 0x4 Alt), the low 16 bits a virtual-key code. "Ctrl+Alt+F5"; Space is left
    // out; Backspace, Delete and an empty value give "无".
    static wstring16 changeHotkeyValueToString(unsigned int value);

    // --- Frame rates ---

    // Count one frame of a stage. Once the stage's window (20,000 ms for sending
    // and capture, 5,000 ms around encoding) has run out, log its average rate
    // and frame count, labelled with name, and start a new window. The call that
    // starts a window is not counted. Each stage is fed from one thread.
    static void updatePublishSendFPS(const wstring16& name);
    static void updatePublishCaptureFPS(const wstring16& name);
    static void updateBeforeEncodeFPS(const wstring16& name);
    static void updateAfterEncodeFPS(const wstring16& name);

    // --- System information ---

    // Fills the process-wide OS version record once; call it early, before
    // getOSVersion and the CPU clock's sleeps are used.
    static void initPubfunc();
    // The version code of the record initPubfunc filled: 0 below Vista, 6 Vista,
    // 7 Windows 7, 8 Windows 8 and everything later; 0 before initPubfunc. The
    // Linux build reports the newest code, 8, once initPubfunc has run.
    static int getOSVersion();
    // The same code from a fresh query (8 on Linux).
    static int OSGetVersion();
    // True from Vista on, and when the version cannot be read (true on Linux).
    static bool isAboveVista();
    // True on Windows 10 (10.0) by the system's own version numbers, whatever the
    // compatibility version the process is shown; false on Linux.
    static bool IsWin10OSVersion();
    static bool is64BitWindows(); // always true
    // Physical memory in MiB (Linux: MemTotal of /proc/meminfo).
    static unsigned long long GetMemoryTotal();
    // The first processor's clock in MHz, 0 when unknown (Linux: its highest
    // frequency under /sys, else "cpu MHz" of /proc/cpuinfo).
    static unsigned long GetCPUSpeed();
    // The processor's name, empty when unknown (Linux: "model name" of /proc/cpuinfo).
    static wstring16 getCPUName();
    // The first display adapter's name from the registry, stored as a binary
    // (UTF-16) or string value; empty when missing, and always on Linux.
    static wstring16 GetDisplayAdapterName();
    // Desktop composition: false and 1 (S_FALSE) below Vista, when the desktop
    // window manager cannot be had, and on Linux.
    static bool IsCompositionEnabled();
    static long enableComposition(bool enable);
    // The share of the machine that processId used since the previous call, from
    // the library's one CCpuUsage, truncated: the first call chooses the process
    // for the life of the library and gives 0.
    static int getCPUUsage(unsigned long processId);

    // --- Processes and windows ---

    // The module whose file getExePath names: the process's executable, or this
    // library's own file. Any value other than moduleDll means moduleExe.
    enum moduleType { moduleExe = 0, moduleDll = 1 };

    // The executable's file name ("host.exe"), the same without the text from its
    // last '.', and the folder of the chosen module without a trailing separator.
    // Paths come from the system (Windows: at most 259 characters; Linux:
    // /proc/self/exe and the library's own loaded file).
    static wstring16 getExeName();
    static wstring16 getExeNameWithoutExt();
    static wstring16 getExePath(moduleType type);
    // True when the executable is one of the product's own, whatever its case.
    static bool isMasterExe();

    // The double-quoted path after -qzpt (or -engine) and one blank: the text
    // between the quotes, or the rest of the line when the closing quote is
    // missing. Empty when the line does not hold the switch followed by a quote.
    static wstring16 getQZPathFromCmdLine(wstring16 commandLine);
    static wstring16 getOrvexEnginePathFromCmdLine(wstring16 commandLine);

    static bool isProcessExist(unsigned long pid);
    // The first visible top-level window of the process in z-order, or null; the
    // title is only logged. Logs one info line for the call and one for each
    // window of the process that it looks at.
    // Linux has no windows: null, nothing shown, 0, false.
    static HWND getProcessMainWnd(unsigned long pid, const wstring16& title);
    // Shows and raises every top-level window of the process.
    static void showProcessMainWnd(unsigned long pid);
    // The id of the first process named exeName (any case) that has a visible
    // top-level window, with that window in wnd; 0 (wnd untouched) when none has.
    static unsigned long getProcessIDWnd(const wstring16& exeName, HWND& wnd,
                                         const wstring16& title);
    // The window itself when it is not a child; else its ancestors are climbed
    // while they are visible, up to the first that is not a child. Null for null
    // or a handle that is not a window.
    static HWND FindWindowTop(HWND hwnd);
    // Adds (or removes) a message to the process's user-interface isolation
    // filter; false where the system has no such filter.
    static bool changeUIPIMessageFilter(unsigned long message, bool add);

    // Opens url in the user's default browser from a thread of its own; true when
    // that thread started, false for an empty url or one that begins with '-'
    // (which a browser would read as an option). The url always reaches the
    // browser as exactly one argument, never read by a shell and never split:
    // Windows quotes it for the command line by the rules that CommandLineToArgvW
    // reads back (a registered command that holds %1 is left to the shell's own
    // "open" of the url); Linux starts xdg-open, found on PATH, with an argument
    // vector.
    static bool openUrl(const wstring16& url);
    // Not offered: always false.
    static bool injectDll(const wstring16& exeName, const wstring16& dllPath);

    // --- Folders and the user configuration ---

    // The product's folders under the user's roaming application data (AppData)
    // and documents (Documents) folders. Windows: the shell's folders. Linux:
    // AppData is $XDG_CONFIG_HOME, else ~/.config; Documents is $XDG_DOCUMENTS_DIR,
    // else ~/Documents; the separator is '/'. Functions marked (creates) create
    // the folder they name, with missing parents, on every call.
    static wstring16 getZvAppDataPath();          // AppData\tarvel\qz
    static wstring16 getUserConfigSavePath();     // ...\business\qzvelocast (creates)
    static wstring16 getInGameConfigSavePath();   // the same (creates)
    static wstring16 getUserConfigSavePathFile(); // ...\user.ini (creates the folder)
    static wstring16 getUIConfigureFileName();    // ...\keshingame.cfg (creates the folder)
    static wstring16 getMainConfigureFileName();  // ...\main.ini (creates the folder)
    static wstring16 getCacheDirPath();           // ...\qzvelocast\cache (creates)
    // AppData\tarvel\qz\log\orvex_engine\<name>.log: a file path; its folder
    // is created.
    static wstring16 getLogFileDir(const wstring16& name);
    // getUserConfigSavePath() + "\face\"; only its parent is created.
    static wstring16 getFacetrainedAnimationPath();
    // The face model beside this library: getExePath(moduleDll) + "\LBF-68-v3.model.compress".
    static wstring16 getFacetrainedFileLoaclPath();
    // Documents\ViziZOzor\ (creates); empty when Documents is unknown.
    static wstring16 getViziZOzorPath();
    // Documents\My QZ\Game Record into folder (creates both levels); folder is
    // left unchanged when Documents is unknown.
    static void getDefaultVideoRecordSaveFolder(wstring16& folder);
    // The download location of the face-tracking data: http://<host> followed by
    // /policy/video_plugins/qzcvfacetrained.dat. The host is fixed when the
    // library is built (the CMake cache variable PUBFUNC_POLICY_HOST).
    static wstring16 getFacetrainedFileUrl();

    // The user configuration file user.ini in getUserConfigSavePath(): section and
    // key names match in any case; values are UTF-8 in the file, stored and read
    // back without the blanks around them (and without one pair of enclosing
    // quotes), cut to 1,023 bytes. A missing file, section or key gives def
    // without its trailing blanks. Writing keeps the file's other lines, comments and blank lines
    // included; on Linux the file is replaced whole (a new file renamed over it),
    // so a crash never leaves it half-written.
    static wstring16 getUserConfigString(const wstring16& section, const wstring16& key,
                                         const wstring16& def);
    static void setUserConfigString(const wstring16& section, const wstring16& key,
                                    const wstring16& value);

    // True for an existing file or folder.
    static bool isFileExist(const wstring16& path);
    // Bytes free to the caller on the disk of path: Windows asks its drive root
    // (its first three characters); Linux the file system of path or of its
    // nearest existing parent. 0 on failure.
    static long long getDiskFreeSpace(const wstring16& path);
    // The whole file into data (resized to the file's size); false, data
    // untouched, when it cannot be opened; an empty file leaves data untouched.
    static bool loadBinaryFile(const wstring16& path, std::vector<char>& data);
    // A BMP file: the 54-byte header (width, minus height so rows run top down,
    // low 16 bits of bitCount as bits per pixel, uncompressed), then size bytes of
    // data unchanged. An existing file is written over from its start and not
    // shortened. False when the file cannot be opened for writing.
    static bool saveAsBMP(const char* data, unsigned int size, int width, int height, int bitCount,
                          const wchar16* fileName);

private:
    static int DebugPrivilege(wchar16* name, int enable);
    static wstring16 getAppDataFolder();
    static wstring16 modifierNames(unsigned int flags);
    static wstring16 hotkeyKeyName(unsigned int virtualKey);
    static void _updatePublishFPS(unsigned int& frameCount, unsigned int& windowStart,
                                  const wstring16& name, int windowMs);
};
