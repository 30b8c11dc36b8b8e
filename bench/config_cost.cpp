// The cost of reading the user configuration file: getUserConfigString of the last
// key of a 100-key section, averaged over 20,000 calls. Builds for both platforms:
// on Linux the file goes to a scratch XDG_CONFIG_HOME; the Windows build (run under
// Wine) uses the prefix's AppData.
//
//   Linux:   build/linux/bin/config_cost
//   Windows: x86_64-w64-mingw32-g++-posix -O2 -std=c++17 -Iinclude bench/config_cost.cpp
//              build/windows/libpubfunc.dll.a -static -o build/windows/bin/config_cost.exe
//            scripts/wine-run.sh $PWD/build/windows/wineprefix build/windows/bin/config_cost.exe
#include <pubfunc/pubfunc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
#if !defined(_WIN32)
    setenv("XDG_CONFIG_HOME", "/tmp/pubfunc-config-cost", 1);
#endif
    for (int i = 0; i < 100; ++i) {
        const std::string key = "key" + std::to_string(i);
        pubfunc::setUserConfigString(W16("Section"), pubfunc::toWideString(key.c_str(), -1, 65001),
                                     W16("some value of moderate length"));
    }
    constexpr int kCalls = 20000;
    size_t sink = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i)
        sink += pubfunc::getUserConfigString(W16("Section"), W16("key99"), W16("d")).size();
    const auto end = std::chrono::steady_clock::now();
    std::printf("getUserConfigString, last key of 100: %.1f us per call (%d calls; %zu)\n",
                std::chrono::duration<double, std::micro>(end - start).count() / kCalls, kCalls,
                sink);
}
