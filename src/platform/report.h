// Error reports to the person at the machine, behind the platform seam
// (report_win.cpp, report_posix.cpp).
#pragma once

#include <pubfunc/export.h>

namespace pf {
namespace platform {

// Shows text under caption and returns when it has been seen: a message box with
// one OK button on Windows (no owner window, shown on the active desktop even from
// a process without one), one UTF-8 line "caption: text" on standard error
// elsewhere.
void showErrorMessage(const wchar16* caption, const wchar16* text);

// Stops in the debugger when one is attached to the process; otherwise does
// nothing, so that a process without a debugger carries on.
void breakIfDebugged();

} // namespace platform
} // namespace pf
