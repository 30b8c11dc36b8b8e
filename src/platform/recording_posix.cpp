// The FLV writer's platform services where file names are UTF-8 bytes. Files
// carry no sharing modes here: every open file may be opened again.
#include "platform/recording.h"
#include "platform/utf8.h"

#include <ctime>
#include <pwd.h>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace pf {
namespace platform {

wstring16 recordingFolder() {
    std::string home;
    if (const char* env = getenv("HOME"); env && *env) {
        home = env;
    } else {
        passwd entry;
        passwd* found = nullptr;
        char buf[4096];
        if (getpwuid_r(getuid(), &entry, buf, sizeof buf, &found) == 0 && found)
            home = found->pw_dir;
    }
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    home += "/velocast_video";
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(home.data());
    wstring16 out(pf::utf8::decode(bytes, home.size(), nullptr, 0).written, u'\0');
    pf::utf8::decode(bytes, home.size(), reinterpret_cast<pf::utf8::unit*>(&out[0]), out.size());
    return out;
}

LocalTime localTime() {
    const time_t now = time(nullptr);
    tm t{};
    localtime_r(&now, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

// A path that is not well-formed UTF-16 names no file: the stream stays closed.
std::shared_ptr<std::ofstream> openSharedOutput(const wstring16& path) {
    auto stream = std::make_shared<std::ofstream>();
    const pf::utf8::unit* units = reinterpret_cast<const pf::utf8::unit*>(path.data());
    const pf::utf8::Outcome need = pf::utf8::encode(units, path.size(), nullptr, 0);
    if (need.replaced) {
        stream->setstate(std::ios::failbit);
        return stream;
    }
    std::string name(need.written, '\0');
    pf::utf8::encode(units, path.size(), reinterpret_cast<unsigned char*>(&name[0]), name.size());
    stream->open(name, std::ios::out | std::ios::trunc | std::ios::binary);
    return stream;
}

} // namespace platform
} // namespace pf
