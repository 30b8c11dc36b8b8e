// Stands in for the browser in the openUrl tests: appends one line per argument
// (after the first, the verb "record", on Windows) to the file named by
// $PUBFUNC_URL_RECORD, writing a temporary file that is renamed into place, so a
// reader sees a whole record or none. Windows: reached through the registered
// http open command, its command line read back by CommandLineToArgvW. Linux:
// reached as xdg-open on PATH.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>

static std::vector<std::string> arguments() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> out;
    for (int i = 2; i < count; ++i) {
        char utf8[8192];
        const int n =
            WideCharToMultiByte(CP_UTF8, 0, args[i], -1, utf8, sizeof utf8, nullptr, nullptr);
        out.emplace_back(utf8, n > 0 ? n - 1 : 0);
    }
    return out;
}
#else
static std::vector<std::string> g_args;
static std::vector<std::string> arguments() {
    return g_args;
}
#endif

int main(int argc, char** argv) {
#if !defined(_WIN32)
    g_args.assign(argv + 1, argv + argc);
#endif
    (void)argc, (void)argv;
    const char* record = std::getenv("PUBFUNC_URL_RECORD");
    if (!record) return 2;
    const std::string temp = std::string(record) + ".part";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return 2;
    for (const std::string& arg : arguments())
        std::fprintf(f, "%s\n", arg.c_str());
    std::fclose(f);
    return std::rename(temp.c_str(), record) == 0 ? 0 : 2;
}
