// Signals and slots: the receivers' cells and the signals' lock. Everything else
// is in the header, instantiated by the module that declares a signal.
#include <pubfunc/sigslot.h>

#include "platform/platform.h"

#include <new>

namespace sigslot {

static_assert(pf::platform::kLockRecordSize == 40, "multi_threaded_local holds a 40-byte record");

// Cells are allocated and freed here, never in a host module, so hosts built
// against another heap can hold them.
void has_slots::slot_wrapper::destroy() {
    delete this;
}

// Allocation failure leaves the receiver without a cell: it cannot be connected,
// which is the only effect, so the library never throws here.
has_slots::has_slots() : holder(new (std::nothrow) slot_wrapper(this)) {}

has_slots::~has_slots() {
    if (slot_wrapper* w = holder) w->owner.store(nullptr);
}

void has_slots::disconnect_all() {
    if (slot_wrapper* w = holder) w->owner.store(nullptr);
    holder = new (std::nothrow) slot_wrapper(this);
}

multi_threaded_local::multi_threaded_local() {
    pf::platform::lockInit(record);
}
multi_threaded_local::~multi_threaded_local() {
    pf::platform::lockDestroy(record);
}
void multi_threaded_local::lock() {
    pf::platform::lockEnter(record);
}
void multi_threaded_local::unlock() {
    pf::platform::lockLeave(record);
}

} // namespace sigslot
