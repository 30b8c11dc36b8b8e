// GetRandomNum's generator on Windows: the C runtime's, 0 to RAND_MAX (32,767).
#include "sys/random.h"

#include <cstdlib>

static_assert(RAND_MAX == pf::sys::kRandomMax, "the runtime's rand gives 15 bits");

namespace pf {
namespace sys {

void seedRandom(unsigned int seed) {
    std::srand(seed);
}

int drawRandom() {
    return std::rand();
}

} // namespace sys
} // namespace pf
