// The library's load and unload order: one list of process-wide set-up steps and
// the clean-ups they register.
#pragma once

namespace pf {
namespace frame {

using CleanupFn = void (*)();

// An ordered list of clean-ups that run in reverse order of registration, once.
// Registration is thread-safe; the fixed capacity keeps it allocation-free, so it
// works before and after the C++ runtime's own statics.
class CleanupList {
public:
    static constexpr int kCapacity = 32;

    // False when the list is full or already ran (fn is then not kept).
    bool add(const char* name, CleanupFn fn);
    // Runs every clean-up, newest first; trace (if set) sees each name first.
    void runAll(void (*trace)(const char* name));
    int count() const;
    const char* name(int i) const; // null when i is out of range

private:
    struct Entry {
        const char* name;
        CleanupFn fn;
    };
    Entry _entries[kCapacity] = {};
    int _count = 0;
    bool _ran = false;
};

// Registers a clean-up with the library's own list: it runs when the library
// unloads, before everything registered earlier. Subsystems created on first use
// (the memory pool) register here at that moment.
bool atUnload(const char* name, CleanupFn fn);
// The library's list, for diagnostics and tests.
const CleanupList& cleanups();
// Observes the clean-ups as they run at unload (used by the load-order host test).
void setUnloadTrace(void (*trace)(const char* name));

} // namespace frame
} // namespace pf
