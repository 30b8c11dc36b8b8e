// Internal knobs of the event-id counter.
#pragma once

namespace pf {
// Sets the process-wide event-id counter (the last id handed out).
void setEventCounter(unsigned long long value);
} // namespace pf
