// Host program: the first event ids of a fresh process, and a dynamic load and
// unload of the library that checks the module handle and the unload order.
// Exits 0 when every check holds; prints the first failure otherwise.
#include <pubfunc/zvglobal.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#define dlopen(name, flags) LoadLibraryA(name)
#define dlsym(module, name) reinterpret_cast<void*>(GetProcAddress(module, name))
#define dlclose(module) (FreeLibrary(module) ? 0 : 1)
#define loaded(name) (GetModuleHandleA(name) != nullptr)
using Module = HMODULE;
static const char kHere[] = "";
#else
#include <dlfcn.h>
static bool loaded(const char* name) {
    void* h = dlopen(name, RTLD_LAZY | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}
using Module = void*;
static const char kHere[] = "./";
#endif

static std::vector<std::string> s_unloaded;

// Ends the program with what failed, unless ok.
static void check(bool ok, const char* what) {
    if (ok) return;
    std::printf("frame_host: %s\n", what);
    std::exit(1);
}

// One of the probe's extra exports, which must be there.
template <class F> static F* probeFn(Module probe, const char* name) {
    void* f = dlsym(probe, name);
    check(f != nullptr, name);
    return reinterpret_cast<F*>(f);
}

int main(int argc, char** argv) {
    check(argc == 2, "usage: frame_host PROBE");
    check(genEventId() == 1, "the first event id is not 1");
    check(genEventId() == 2, "the second event id is not 2");
    const std::string path = kHere + std::string(argv[1]);
    Module probe = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    check(probe != nullptr, "cannot load the probe library");
    check(probeFn<unsigned long long()>(probe, "probeEventId")() == 1,
          "the second copy's call bound to the first copy's code");
    check(probeFn<void*()>(probe, "probeModuleHandle")() == reinterpret_cast<void*>(probe),
          "recorded module handle is not the library's own");
    check(probeFn<bool()>(probe, "probeRegisterLate")(), "late clean-up not registered");
    probeFn<void(void (*)(const char*))>(probe, "probeTraceUnload")(
        [](const char* name) { s_unloaded.push_back(name); });
    check(dlclose(probe) == 0, "unload failed");
    check(!loaded(path.c_str()), "library still loaded after unload");
    check(!s_unloaded.empty(), "no clean-up ran at unload");
    check(s_unloaded.front() == "late", "clean-up registered last did not run first");
    std::printf("frame_host: ok (%zu clean-ups ran)\n", s_unloaded.size());
    return 0;
}
