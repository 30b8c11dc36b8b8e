// pubfunc: the library's static utility functions.
#pragma once

#include <pubfunc/export.h>

#include <string>
#include <vector>

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

private:
    static wstring16 modifierNames(unsigned int flags);
    static wstring16 hotkeyKeyName(unsigned int virtualKey);
    static void _updatePublishFPS(unsigned int& frameCount, unsigned int& windowStart,
                                  const wstring16& name, int windowMs);
};
