// Collects the memory pool's fault reports through its hook, for the pool's tests.
#pragma once

#include <pubfunc/mempool.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

using Reports = std::vector<std::string>;
inline std::mutex g_reportLock;
inline Reports g_reports;

// Installs the hook for the life of each test; take() hands out what was reported.
class PoolReports : public ::testing::Test {
protected:
    void SetUp() override {
        mp_enable(true);
        mp_set_report_hook([](const wchar16* text) { // every report is ASCII
            std::lock_guard<std::mutex> guard(g_reportLock);
            g_reports.emplace_back(text, text + std::char_traits<wchar16>::length(text));
        });
        take();
    }
    void TearDown() override { mp_set_report_hook(nullptr); }

    static Reports take() {
        std::lock_guard<std::mutex> guard(g_reportLock);
        Reports out;
        out.swap(g_reports);
        return out;
    }
    // One report of `format` about p, as the pool words it: %08X of the address's
    // low 32 bits.
    static Reports one(const char* format, const void* p) {
        char text[128];
        std::snprintf(text, sizeof text, format, unsigned(reinterpret_cast<uintptr_t>(p)));
        return {text};
    }
};

constexpr const char* kAllocCorrupt = "mp_alloc - detect block 0x%08X corrupt!";
constexpr const char* kFreeCorrupt = "mp_free - detect block 0x%08X corrupt!";
constexpr const char* kRepeatFree = "mp_free - repeat free block 0x%08X!";
constexpr const char* kNotInPool = "mp_free - block 0x%08X not in mem pool!";
constexpr int kBlockSizes[] = {8, 16, 24, 32, 48, 64, 80, 96, 128, 160, 192, 224, 256};
