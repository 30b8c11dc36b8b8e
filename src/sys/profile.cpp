// pubfunc's user configuration file: names in the ANSI code page, values in UTF-8.
#include <pubfunc/pubfunc.h>

#include "sys/profile.h"

namespace {
constexpr unsigned int kAnsi = 0;
constexpr unsigned int kUtf8 = 65001;

std::string ansi(const wstring16& text) {
    return pubfunc::toNarrowString(text.c_str(), -1, kAnsi);
}
} // namespace

wstring16 pubfunc::getUserConfigString(const wstring16& section, const wstring16& key,
                                       const wstring16& def) {
    const std::string file = ansi(getUserConfigSavePathFile());
    std::string fallback = toUtf8String(def.c_str());
    fallback.pop_back(); // the terminator toUtf8String keeps
    const std::string value = pf::sys::readProfileString(file, ansi(section), ansi(key), fallback);
    return toWideString(value.c_str(), -1, kUtf8);
}

void pubfunc::setUserConfigString(const wstring16& section, const wstring16& key,
                                  const wstring16& value) {
    const std::string file = ansi(getUserConfigSavePathFile());
    std::string utf8 = toUtf8String(value.c_str());
    utf8.pop_back();
    pf::sys::writeProfileString(file, ansi(section), ansi(key), utf8);
}
