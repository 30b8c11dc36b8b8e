// Stands in for the browser in the openUrl test: writes its arguments, one a
// line, to the file named by $PUBFUNC_URL_RECORD, through a temporary file
// renamed into place, so a reader sees a whole record or none. Windows: reached
// through the registered http open command (after its verb "record"), its command
// line read back by CommandLineToArgvW. Linux: reached as xdg-open on PATH.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>
#endif

int main(int argc, char** argv) {
    const char* record = std::getenv("PUBFUNC_URL_RECORD");
    if (!record) return 2;
    std::ofstream out(std::string(record) + ".part", std::ios::binary);
#if defined(_WIN32)
    (void)argv;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 2; i < argc; ++i) {
        char utf8[8192];
        WideCharToMultiByte(CP_UTF8, 0, args[i], -1, utf8, sizeof utf8, nullptr, nullptr);
        out << utf8 << '\n';
    }
#else
    for (int i = 1; i < argc; ++i)
        out << argv[i] << '\n';
#endif
    out.close();
    return std::rename((std::string(record) + ".part").c_str(), record) == 0 ? 0 : 2;
}
