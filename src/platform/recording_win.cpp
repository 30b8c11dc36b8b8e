// The FLV writer's platform services on Windows.
#include "platform/recording.h"

#include <windows.h>
#if defined(_MSC_VER)
#include <share.h>
#endif

namespace pf {
namespace platform {

wstring16 recordingFolder() {
    return L"D:\\velocast_video";
}

LocalTime localTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// Deny-none sharing lets a player read the recording while it grows, and lets a
// second writer that lands on the same name in the same second truncate it. The
// MSVC runtime takes the share flag as a third argument; the mingw runtime's
// wide-path open goes through _wfopen, which always opens deny-none.
std::shared_ptr<std::ofstream> openSharedOutput(const wstring16& path) {
    const std::ios_base::openmode mode = std::ios::out | std::ios::trunc | std::ios::binary;
#if defined(_MSC_VER)
    return std::make_shared<std::ofstream>(path.c_str(), mode, _SH_DENYNO);
#else
    return std::make_shared<std::ofstream>(path.c_str(), mode);
#endif
}

} // namespace platform
} // namespace pf
