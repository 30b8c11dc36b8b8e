// The differential table of code-page conversions: byte and UTF-16 inputs run
// through pf::platform's conversions for code page 65001, one result line each.
// The Windows build's lines (the system's own functions) are checked in as
// tests/data/codepage_65001.txt by scripts/gen-expected.sh codepage; every build
// must reproduce them.
#pragma once

#include "platform/codepage.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace codepage_table {

constexpr int kWhole = INT_MIN; // the input's full length, without a terminator
constexpr unsigned long kUntouched = 0xC0DE;

struct Case {
    const char* hex;  // bytes as hex pairs, or UTF-16 units as 4-digit groups
    int len = kWhole; // or the length handed over (-1: terminated)
    unsigned long flags = 0;
    int room = 0; // one more output size to try, when not 0
};

// Valid text, every kind of ill-formed and cut sequence, embedded zeros, and the
// lengths -1, 0, 1 and -2.
inline const std::vector<Case> kNarrow = {
    // clang-format off
    {"", 0}, {"", -1}, {"41"}, {"414243", -1}, {"414243", 1}, {"414243", -2}, {"41004243"},
    {"41004243", -1}, {"41", kWhole, 1}, {"C3A9"}, {"E4B8AD"}, {"E4B8AD", 1}, {"E4B8AD", 2},
    {"F09F9880"}, {"EFBBBF41"}, {"EFBFBF"}, {"F48FBFBF"}, {"4142434445464748494A"},
    {"7F C280 DFBF E0A080 ED9FBF EE8080 F0908080"}, {"414243E4B8ADC3A9F09F9880"},
    // bytes that never start a sequence: continuation, overlong lead, above range, never used
    {"80"}, {"C0"}, {"F5"}, {"F8"}, {"FF"},
    // overlong forms, surrogates, values above U+10FFFF
    {"C080"}, {"E09FBF"}, {"F08FBFBF"}, {"EDA080"}, {"EDA0BDEDB880"}, {"F4908080"}, {"F5808080"},
    // sequences cut by the end or by another byte
    {"C3"}, {"E4B8"}, {"F09F98"}, {"E4B841"}, {"F09F9841"}, {"F09FE4B8AD"}, {"C3C3A9"}, {"418042"},
    {"8000"}, {"E400", -1}, {"41E4B8", -1}, {"8080808080808080414141414141414180"},
    // cut by the end of input after a byte that does not continue
    {"E441"}, {"E4E4"}, {"F09F41"}, {"E080"}, {"EDA0"}, {"F080"}, {"F490"},
    // a bad byte in each position, with input after it
    {"C241"}, {"E0A041"}, {"F0908041"}, {"F48FBF41"}, {"F8888080804141"}, {"EFBFBE"},
    // a surrogate pair with room for one half, at the end and before more input
    {"F09F988041", kWhole, 0, 1}, {"41F09F9880", kWhole, 0, 2}, {"F09F9880", -1, 0, 1},
    // clang-format on
};

inline const std::vector<Case> kWide = {
    // clang-format off
    {"", 0}, {"", -1}, {"0041"}, {"0041 0042 0043", -1}, {"0041 0042", -2}, {"0041", kWhole, 0x200},
    {"007F 0080 07FF 0800 FFFF"}, {"4E2D 00E9"}, {"D83D DE00"}, {"D83D DE00", 1}, {"DBFF DFFF"},
    {"FEFF 0041"}, {"D800"}, {"DC00"}, {"D800 0041"}, {"0041 DC00"}, {"DC00 D800"}, {"DC00 DC00"},
    {"D800 D800 DC00"}, {"D800", -1}, {"0041 0000 0042"}, {"0041 0000 0042", -1},
    // clang-format on
};

template <class T> std::vector<T> parse(std::string hex, size_t digits) {
    hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
    std::vector<T> out;
    for (size_t i = 0; i + digits <= hex.size(); i += digits)
        out.push_back(T(std::stoul(hex.substr(i, digits), nullptr, 16)));
    return out;
}

template <class T> std::string hexOf(const T* p, int n) {
    std::string s;
    char part[8];
    for (int i = 0; i < n; ++i) {
        std::snprintf(part, sizeof part, "%0*X", int(2 * sizeof(T)),
                      unsigned(p[i]) & (sizeof(T) == 1 ? 0xFF : 0xFFFF));
        s += part;
    }
    return s;
}

// Runs every case at each output size that tells something: measuring (room 0),
// exactly the measured size (flags 0), and one less; each with the case's flags
// and with the error flag added. One line per call.
template <class In, class Out>
void runCases(std::string& text, const char* tag, const std::vector<Case>& cases,
              unsigned long errorFlag,
              int (*convert)(unsigned, unsigned long, const In*, int, Out*, int)) {
    for (const Case& c : cases) {
        std::vector<In> input = parse<In>(c.hex, 2 * sizeof(In));
        const int whole = int(input.size());
        input.push_back(0); // terminated, for len -1
        const int len = c.len == kWhole ? whole : c.len;
        const int exact =
            convert(pf::platform::kCodePageUtf8, c.flags, input.data(), len, nullptr, 0);
        std::vector<int> rooms = {0};
        for (int room : {exact, exact - 1, c.room})
            if (room > 0) rooms.push_back(room);
        for (unsigned long flags : {c.flags, c.flags | errorFlag}) {
            for (int room : rooms) {
                std::vector<Out> out(size_t(room) + 1, Out(0x55));
                pf::platform::setLastError(kUntouched);
                const int r = convert(pf::platform::kCodePageUtf8, flags, input.data(), len,
                                      room ? out.data() : nullptr, room);
                const unsigned long err = pf::platform::lastError();
                char head[160];
                std::snprintf(head, sizeof head, "%s in=%s len=%d flags=0x%lX room=%d -> %d", tag,
                              hexOf(input.data(), whole).c_str(), len, flags, room, r);
                text += head;
                if (r == 0) text += " err=" + std::to_string(err);
                if (r > 0 && room > 0) text += " out=" + hexOf(out.data(), r);
                text += "\n";
            }
        }
    }
}

// The whole table as text.
inline std::string run() {
    using namespace pf::platform;
    std::string text;
    runCases(text, "mb", kNarrow, kMbErrInvalidChars, multiByteToWide);
    runCases(text, "wc", kWide, kWcErrInvalidChars, wideToMultiByte);
    return text;
}

} // namespace codepage_table
