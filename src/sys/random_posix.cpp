// GetRandomNum's generator outside Windows: the Windows runtime's rand, kept here.
#include "sys/random.h"

#include <atomic>

namespace {
// One process-wide state, as the runtime's; relaxed atomics keep concurrent
// callers free of data races (they may draw the same number, as they may there).
std::atomic<unsigned int> s_state{1};
constexpr unsigned int kMultiplier = 214013;
constexpr unsigned int kIncrement = 2531011;
} // namespace

namespace pf {
namespace sys {

void seedRandom(unsigned int seed) {
    s_state.store(seed, std::memory_order_relaxed);
}

// The state steps modulo 2^32; bits 16 to 30 are the draw.
int drawRandom() {
    const unsigned int next = s_state.load(std::memory_order_relaxed) * kMultiplier + kIncrement;
    s_state.store(next, std::memory_order_relaxed);
    return int((next >> 16) & unsigned(kRandomMax));
}

} // namespace sys
} // namespace pf
