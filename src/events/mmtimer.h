// The system's periodic timer behind CMultimediaTimer: one thread per process
// that calls CMultimediaTimer::onTick(id, user) every period.
#pragma once

namespace pf {
namespace mmtimer {

// Starts a periodic timer; its identifier, or 0 when the system refuses it.
unsigned int setEvent(unsigned int periodMs, void* user);
// Stops it; later calls to onTick with its identifier may still be under way or
// queued (the caller's identifier test drops them).
void killEvent(unsigned int id);

} // namespace mmtimer
} // namespace pf
