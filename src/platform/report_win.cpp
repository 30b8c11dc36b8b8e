// Error reports on Windows: a service-notification message box and DebugBreak.
#include "platform/report.h"

#include <windows.h>

namespace pf {
namespace platform {

// MB_SERVICE_NOTIFICATION alone: one OK button, and the box reaches the active
// desktop even when the calling process runs without one (a service).
void showErrorMessage(const wchar16* caption, const wchar16* text) {
    MessageBoxW(nullptr, text, caption, MB_SERVICE_NOTIFICATION);
}

// DebugBreak without a debugger would end the process; only break into one.
void breakIfDebugged() {
    if (IsDebuggerPresent()) DebugBreak();
}

} // namespace platform
} // namespace pf
