// The profile-file differential: one sequence of reads and writes over a seeded
// file and a missing one, printed one result line a step, then the files' bytes.
// The Windows build's lines (the system's profile functions) are checked in as
// tests/data/profile_expected.txt by scripts/gen-profile-expected.sh; every build
// must reproduce them.
#pragma once

#include "sys/profile.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace profile_table {

// Comments, a blank line, blanks around names and values, quotes, '=' in a value,
// a key without '=', a repeated key, and a section repeated in another case.
inline const char kSeed[] = "; first line\r\n\r\n[General]\r\n  Name = Alice \r\nempty=\r\n"
                            "novalue\r\nquoted=\" in quotes \"\r\nsingle='x'\r\neq=a=b=c\r\n"
                            "tab=\tv\t\r\ndup=first\r\ndup=second\r\n\r\n; in General\r\n"
                            "[general]\r\nName=copy\r\n[ Other ]\r\nk=v\r\n";

struct Step {
    bool write;
    const char* file; // "seeded.ini" or "fresh.ini" (missing until written)
    const char* section;
    const char* key;
    std::string value; // what a write stores, or a read's default
};

inline const std::string kLong(2000, 'L');
inline const char kChinese[] = "\xE4\xB8\xAD\xE6\x96\x87 \xE5\x80\xBC"; // UTF-8

inline const std::vector<Step> kSteps = {
    // clang-format off
    {false, "seeded.ini", "General", "Name", "d"}, {false, "seeded.ini", "GENERAL", "nAME", "d"},
    {false, "seeded.ini", "General", "empty", "d"}, {false, "seeded.ini", "General", "novalue", "d"},
    {false, "seeded.ini", "General", "quoted", "d"}, {false, "seeded.ini", "General", "single", "d"},
    {false, "seeded.ini", "General", "eq", "d"}, {false, "seeded.ini", "General", "tab", "d"},
    {false, "seeded.ini", "General", "dup", "d"}, {false, "seeded.ini", "General", "none", "dflt"},
    {false, "seeded.ini", "General", "none", "  dflt  "}, {false, "seeded.ini", "Nope", "k", "d"},
    {false, "seeded.ini", "Other", "K", "d"}, {false, "seeded.ini", "General", "; in General", "d"},
    {false, "seeded.ini", "General", "", "d"}, {false, "fresh.ini", "General", "Name", "missing"},
    {false, "seeded.ini", "General", "none", kLong},
    {true, "seeded.ini", "GENERAL", "NAME", "new value"}, {true, "seeded.ini", "general", "added", "x=y"},
    {true, "seeded.ini", "OTHER", "pad", "  padded  "}, {true, "seeded.ini", "Other", "zh", kChinese},
    {true, "seeded.ini", "Other", "long", kLong}, {true, "seeded.ini", "Other", "k", ""},
    {true, "seeded.ini", "General", "dup", "third"}, {true, "seeded.ini", "New", "n", "1"},
    {true, "seeded.ini", "new", "N", "2"}, {true, "fresh.ini", "S", "k", "v"},
    {false, "seeded.ini", "General", "Name", "d"}, {false, "seeded.ini", "General", "added", "d"},
    {false, "seeded.ini", "Other", "pad", "d"}, {false, "seeded.ini", "Other", "zh", "d"},
    {false, "seeded.ini", "Other", "long", "d"}, {false, "seeded.ini", "Other", "k", "d"},
    {false, "seeded.ini", "general", "DUP", "d"}, {false, "seeded.ini", "NEW", "n", "d"},
    {false, "fresh.ini", "s", "K", "d"},
    // clang-format on
};

// Printable ASCII as it is, other bytes as \xNN; a long text by its length and ends.
inline std::string show(const std::string& text) {
    if (text.size() > 60)
        return "<" + std::to_string(text.size()) + "> " + show(text.substr(0, 8)) + "..." +
               show(text.substr(text.size() - 8));
    std::string out = "\"";
    for (const unsigned char c : text) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? std::string(1, char(c)) : hex;
    }
    return out + "\"";
}

// folder ends with a separator; the files are made there afresh. Blank lines are
// left out of the files' dump: the Linux writer keeps them where they were, the
// Windows build's (under Wine) drops them.
inline std::string run(const std::string& folder) {
    std::remove((folder + "fresh.ini").c_str());
    std::ofstream(folder + "seeded.ini", std::ios::binary) << kSeed;
    std::string out;
    for (const Step& s : kSteps) {
        const std::string file = folder + s.file;
        out += std::string(s.write ? "set " : "get ") + s.file + " [" + s.section + "] " + s.key +
               " " + show(s.value) + " -> ";
        out += s.write ? (pf::sys::writeProfileString(file, s.section, s.key, s.value) ? "ok"
                                                                                       : "failed")
                       : show(pf::sys::readProfileString(file, s.section, s.key, s.value));
        out += "\n";
    }
    for (const char* name : {"seeded.ini", "fresh.ini"}) {
        std::ifstream in(folder + name, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        out += std::string("file ") + name + "\n";
        for (size_t start = 0; start < bytes.size();) {
            const size_t end = bytes.find('\n', start);
            const std::string line =
                bytes.substr(start, end == std::string::npos ? end : end + 1 - start);
            if (line != "\r\n") out += show(line) + "\n";
            start = end == std::string::npos ? bytes.size() : end + 1;
        }
    }
    return out;
}

} // namespace profile_table
