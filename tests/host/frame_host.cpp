// Host program: the first event ids of a fresh process, and a dynamic load and
// unload of the library that checks the module handle and the unload order.
// Exits 0 when every check holds; prints the first failure otherwise.
#include <pubfunc/zvglobal.h>

#include <cstdio>
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

static int fail(const char* what) {
    std::printf("frame_host: %s\n", what);
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 2) return fail("usage: frame_host PROBE");
    if (genEventId() != 1 || genEventId() != 2) return fail("first event ids are not 1, 2");
    const std::string path = kHere + std::string(argv[1]);
    Module probe = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!probe) return fail("cannot load the probe library");
    auto handle = reinterpret_cast<void* (*)()>(dlsym(probe, "probeModuleHandle"));
    auto late = reinterpret_cast<bool (*)()>(dlsym(probe, "probeRegisterLate"));
    auto trace =
        reinterpret_cast<void (*)(void (*)(const char*))>(dlsym(probe, "probeTraceUnload"));
    auto eventId = reinterpret_cast<unsigned long long (*)()>(dlsym(probe, "probeEventId"));
    if (!handle || !late || !trace || !eventId) return fail("probe exports missing");
    if (eventId() != 1) return fail("the second copy's call bound to the first copy's code");
    if (handle() != reinterpret_cast<void*>(probe))
        return fail("recorded module handle is not the library's own");
    if (!late()) return fail("late clean-up not registered");
    trace([](const char* name) { s_unloaded.push_back(name); });
    if (dlclose(probe) != 0) return fail("unload failed");
    if (loaded(path.c_str())) return fail("library still loaded after unload");
    if (s_unloaded.empty() || s_unloaded.front() != "late")
        return fail("clean-up registered last did not run first");
    std::printf("frame_host: ok (%zu clean-ups ran)\n", s_unloaded.size());
    return 0;
}
