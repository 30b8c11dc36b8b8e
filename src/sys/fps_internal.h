// The frame-rate counters' clock, replaceable by the white-box tests.
#pragma once

#include <pubfunc/export.h>

namespace pf {
namespace sys {

// Milliseconds since system start in 32 bits; null restores the platform's tick.
typedef unsigned int (*TickSource)();
void setTickSource(TickSource source);

// One counting step on a caller's counter; pubfunc::_updatePublishFPS.
void updateFps(unsigned int& frameCount, unsigned int& windowStart, const wstring16& name,
               int windowMs);

} // namespace sys
} // namespace pf
