// The profile-file differential: one sequence of reads and writes over a seeded
// file and a missing one, printed one result line a step, then the files' bytes.
// The Windows build's lines (the system's profile functions) are checked in as
// tests/data/profile_expected.txt by scripts/gen-expected.sh profile; every build
// must reproduce them.
#pragma once

#include "sys/profile.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace profile_table {

// Comments, a blank line, blanks around names and values, quotes, '=' in a value,
// a key without '=', a repeated key, and a section repeated in another case.
inline const char kSeed[] = "; first line\r\n\r\n[General]\r\n  Name = Alice \r\nempty=\r\n"
                            "novalue\r\nquoted=\" in quotes \"\r\nsingle='x'\r\neq=a=b=c\r\n"
                            "tab=\tv\t\r\ndup=first\r\ndup=second\r\n\r\n; in General\r\n"
                            "[general]\r\nName=copy\r\n[ Other ]\r\nk=v\r\n";

// 'g'et (the value is the default) or 's'et, in the 's'eeded or the 'f'resh file.
typedef std::tuple<char, char, const char*, const char*, std::string> Step;
inline const std::string kLong(2000, 'L');
inline const std::vector<Step> kSteps = {
    // clang-format off
    {'g', 's', "General", "Name", "d"}, {'g', 's', "GENERAL", "nAME", "d"}, {'g', 's', "General", "empty", "d"},
    {'g', 's', "General", "novalue", "d"}, {'g', 's', "General", "quoted", "d"}, {'g', 's', "General", "single", "d"},
    {'g', 's', "General", "eq", "d"}, {'g', 's', "General", "tab", "d"}, {'g', 's', "General", "dup", "d"},
    {'g', 's', "General", "none", "dflt"}, {'g', 's', "General", "none", "  dflt  "}, {'g', 's', "Nope", "k", "d"},
    {'g', 's', "Other", "K", "d"}, {'g', 's', "General", "; in General", "d"}, {'g', 's', "General", "", "d"},
    {'g', 'f', "General", "Name", "missing"}, {'g', 's', "General", "none", kLong},
    {'s', 's', "GENERAL", "NAME", "new value"}, {'s', 's', "general", "added", "x=y"},
    {'s', 's', "OTHER", "pad", "  padded  "}, {'s', 's', "Other", "zh", "\xE4\xB8\xAD\xE6\x96\x87 \xE5\x80\xBC"},
    {'s', 's', "Other", "long", kLong}, {'s', 's', "Other", "k", ""}, {'s', 's', "General", "dup", "third"},
    {'s', 's', "New", "n", "1"}, {'s', 's', "new", "N", "2"}, {'s', 'f', "S", "k", "v"},
    {'g', 's', "General", "Name", "d"}, {'g', 's', "General", "added", "d"}, {'g', 's', "Other", "pad", "d"},
    {'g', 's', "Other", "zh", "d"}, {'g', 's', "Other", "long", "d"}, {'g', 's', "Other", "k", "d"},
    {'g', 's', "general", "DUP", "d"}, {'g', 's', "NEW", "n", "d"}, {'g', 'f', "s", "K", "d"},
    // clang-format on
};

// The text in quotes, each control character as ^ and a letter (CR is ^M); a long
// text by its length.
inline std::string show(const std::string& text) {
    if (text.size() > 60) return "<" + std::to_string(text.size()) + ">";
    std::string out = "\"";
    for (const char c : text)
        out += c >= 0 && c < 0x20 ? std::string{'^', char(c + 64)} : std::string(1, c);
    return out + "\"";
}

// folder ends with a separator; the files are made there afresh. Blank lines are
// left out of the files' dump: the Linux writer keeps them where they were, the
// Windows build's (under Wine) drops them.
inline std::string run(const std::string& folder) {
    const std::string seeded = folder + "seeded.ini", fresh = folder + "fresh.ini";
    std::remove(fresh.c_str());
    std::ofstream(seeded, std::ios::binary) << kSeed;
    std::string out;
    for (const auto& [op, which, section, key, value] : kSteps) {
        const std::string& file = which == 's' ? seeded : fresh;
        out += op + (which + (" [" + std::string(section) + "] " + key + " " + show(value)));
        out += " -> " +
               (op == 's' ? std::to_string(pf::sys::writeProfileString(file, section, key, value))
                          : show(pf::sys::readProfileString(file, section, key, value))) +
               "\n";
    }
    for (const std::string& file : {seeded, fresh}) {
        std::ifstream in(file, std::ios::binary);
        for (std::string line; std::getline(in, line);)
            if (line != "\r") out += show(line) + "\n";
    }
    return out;
}

} // namespace profile_table
