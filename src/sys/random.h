// The generator behind pubfunc::GetRandomNum: 15 bits a draw, 0 to 32,767.
#pragma once

namespace pf {
namespace sys {

constexpr int kRandomMax = 32767;

// Windows: the C runtime's srand and rand, whose state the process shares.
// Elsewhere: the same linear congruential generator in the library's own state,
// since the C library's rand reaches 2^31 - 1 there.
void seedRandom(unsigned int seed);
int drawRandom();

} // namespace sys
} // namespace pf
