// The FLV writer's platform services: its default folder, the local time that
// names a recording, and the output stream that other handles may share.
#pragma once

#include <pubfunc/export.h>

#include <fstream>
#include <memory>

namespace pf {
namespace platform {

// The folder recordings go to when the host names none, without a trailing
// separator: "D:\\velocast_video" on Windows; velocast_video in the user's home
// folder ($HOME, else the account's home) elsewhere.
wstring16 recordingFolder();

// The local calendar time now: month 1 to 12, day of month 1 to 31.
struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime localTime();

// A new binary output stream on path, created or truncated. Other handles may
// read and write the file while it is open. When the file cannot be opened the
// stream still exists, in the failed state, so that writes to it go nowhere.
std::shared_ptr<std::ofstream> openSharedOutput(const wstring16& path);

} // namespace platform
} // namespace pf
