// Host program: the first event ids of a fresh process, and a dynamic load and
// unload of the library that checks the module handle and the unload order.
// Exits 0 when every check holds; prints the first failure otherwise.
#include <pubfunc/zvglobal.h>

#include <cstdio>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
using Module = HMODULE;
static Module load(const char* name) {
    return LoadLibraryA(name);
}
static void* sym(Module m, const char* n) {
    return reinterpret_cast<void*>(GetProcAddress(m, n));
}
static bool unload(Module m) {
    return FreeLibrary(m) != FALSE;
}
static bool stillLoaded(const char* name) {
    return GetModuleHandleA(name) != nullptr;
}
#else
#include <dlfcn.h>
using Module = void*;
static Module load(const char* name) {
    std::string path = std::string("./") + name;
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
static void* sym(Module m, const char* n) {
    return dlsym(m, n);
}
static bool unload(Module m) {
    return dlclose(m) == 0;
}
static bool stillLoaded(const char* name) {
    std::string path = std::string("./") + name;
    void* h = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}
#endif

static std::vector<std::string> s_unloaded;
static void onUnload(const char* name) {
    s_unloaded.push_back(name);
}

static int fail(const char* what) {
    std::printf("frame_host: %s\n", what);
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 2) return fail("usage: frame_host PROBE");
    if (genEventId() != 1) return fail("first event id is not 1");
    if (genEventId() != 2) return fail("second event id is not 2");

    Module probe = load(argv[1]);
    if (!probe) return fail("cannot load the probe library");
    auto handle = reinterpret_cast<void* (*)()>(sym(probe, "probeModuleHandle"));
    auto late = reinterpret_cast<bool (*)()>(sym(probe, "probeRegisterLate"));
    auto trace = reinterpret_cast<void (*)(void (*)(const char*))>(sym(probe, "probeTraceUnload"));
    if (!handle || !late || !trace) return fail("probe exports missing");
    if (handle() != reinterpret_cast<void*>(probe))
        return fail("recorded module handle is not the library's own");
    if (!late()) return fail("late clean-up not registered");
    trace(onUnload);

    if (!unload(probe)) return fail("unload failed");
    if (stillLoaded(argv[1])) return fail("library still loaded after unload");
    if (s_unloaded.empty() || s_unloaded.front() != "late")
        return fail("clean-up registered last did not run first");
    std::printf("frame_host: ok (%zu clean-ups ran)\n", s_unloaded.size());
    return 0;
}
