// Collects the memory pool's fault reports through its hook, for the pool's tests.
#pragma once

#include <pubfunc/mempool.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

// Installs the hook for the life of the test and hands out what was reported.
class PoolReports : public ::testing::Test {
protected:
    void SetUp() override {
        mp_enable(true);
        mp_set_report_hook(collect);
        take();
    }
    void TearDown() override { mp_set_report_hook(nullptr); }

    // The reports since the last call (ASCII text: every report is).
    static std::vector<std::string> take() {
        std::lock_guard<std::mutex> guard(lock());
        std::vector<std::string> out;
        out.swap(seen());
        return out;
    }
    // One report of `format` for address p, as the pool prints it: "%08X" of the
    // address's low 32 bits.
    static std::vector<std::string> one(const char* format, const void* p) {
        char text[128];
        std::snprintf(text, sizeof text, format, unsigned(reinterpret_cast<uintptr_t>(p)));
        return {text};
    }

private:
    static void collect(const wchar16* message) {
        std::string text;
        for (; *message; ++message)
            text += char(*message);
        std::lock_guard<std::mutex> guard(lock());
        seen().push_back(text);
    }
    static std::mutex& lock() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string>& seen() {
        static std::vector<std::string> v;
        return v;
    }
};

constexpr const char* kAllocCorrupt = "mp_alloc - detect block 0x%08X corrupt!";
constexpr const char* kFreeCorrupt = "mp_free - detect block 0x%08X corrupt!";
constexpr const char* kRepeatFree = "mp_free - repeat free block 0x%08X!";
constexpr const char* kNotInPool = "mp_free - block 0x%08X not in mem pool!";
constexpr int kBlockSizes[] = {8, 16, 24, 32, 48, 64, 80, 96, 128, 160, 192, 224, 256};
