// The differential table of code-page conversions: byte and UTF-16 inputs run
// through pf::platform's conversions for code page 65001, one result line each.
// The Windows build's lines (the system's own functions) are checked in as
// tests/data/codepage_65001.txt by scripts/gen-codepage-expected.sh; every build
// must reproduce them.
#pragma once

#include "platform/codepage.h"

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace codepage_table {

constexpr int kWhole = INT_MIN; // the input's full length, without a terminator
constexpr unsigned long kUntouched = 0xC0DE;

struct Case {
    const char* hex; // bytes as hex pairs, or UTF-16 units as 4-digit groups
    int len;         // kWhole, or the length handed over (-1: terminated)
    unsigned long flags;
    int room = 0; // one more output size to try, when not 0
};

// Valid text, every kind of ill-formed and cut sequence, embedded zeros, and the
// lengths -1, 0, 1 and -2.
inline const std::vector<Case>& narrowCases() {
    static const std::vector<Case> cases = {
        // clang-format off
        {"", 0, 0}, {"", -1, 0}, {"41", kWhole, 0}, {"414243", -1, 0}, {"414243", 1, 0},
        {"414243", -2, 0}, {"41004243", kWhole, 0}, {"41004243", -1, 0}, {"41", kWhole, 1},
        {"C3A9", kWhole, 0}, {"E4B8AD", kWhole, 0}, {"E4B8AD", 1, 0}, {"E4B8AD", 2, 0},
        {"F09F9880", kWhole, 0}, {"EFBBBF41", kWhole, 0}, {"EFBFBF", kWhole, 0},
        {"F48FBFBF", kWhole, 0}, {"7F C280 DFBF E0A080 ED9FBF EE8080 F0908080", kWhole, 0},
        {"414243E4B8ADC3A9F09F9880", kWhole, 0}, {"4142434445464748494A", kWhole, 0},
        // bytes that never start a sequence
        {"80", kWhole, 0}, {"BF", kWhole, 0}, {"C0", kWhole, 0}, {"C1", kWhole, 0},
        {"F5", kWhole, 0}, {"F8", kWhole, 0}, {"FE", kWhole, 0}, {"FF", kWhole, 0},
        // overlong forms, surrogates, values above U+10FFFF
        {"C080", kWhole, 0}, {"C1BF", kWhole, 0}, {"E08080", kWhole, 0}, {"E09FBF", kWhole, 0},
        {"EDA080", kWhole, 0}, {"EDBFBF", kWhole, 0}, {"EDA0BDEDB880", kWhole, 0},
        {"F0808080", kWhole, 0}, {"F08FBFBF", kWhole, 0}, {"F4908080", kWhole, 0},
        {"F5808080", kWhole, 0},
        // sequences cut by the end or by another byte
        {"C3", kWhole, 0}, {"E4", kWhole, 0}, {"E4B8", kWhole, 0}, {"F0", kWhole, 0},
        {"F09F", kWhole, 0}, {"F09F98", kWhole, 0}, {"6162E4B8", kWhole, 0}, {"E4B841", kWhole, 0},
        {"F09F9841", kWhole, 0}, {"F09FE4B8AD", kWhole, 0}, {"C3C3A9", kWhole, 0},
        {"E4C3A9", kWhole, 0}, {"418042", kWhole, 0}, {"E4B8AD80E4B8AD", kWhole, 0},
        {"8000", kWhole, 0}, {"E400", -1, 0}, {"41E4B8", -1, 0},
        {"8080808080808080414141414141414180", kWhole, 0},
        // cut by the end of input after a byte that does not continue
        {"E441", kWhole, 0}, {"E4E4", kWhole, 0}, {"41F0", kWhole, 0}, {"F04142", kWhole, 0},
        {"F09F41", kWhole, 0}, {"F0E4B8", kWhole, 0}, {"E080", kWhole, 0}, {"EDA0", kWhole, 0},
        {"F080", kWhole, 0}, {"F490", kWhole, 0}, {"F08080", kWhole, 0}, {"F4908080", 3, 0},
        // a bad byte in each position, with input after it
        {"C241", kWhole, 0}, {"DFC041", kWhole, 0}, {"E08041", kWhole, 0}, {"E0A041", kWhole, 0},
        {"E0C080", kWhole, 0}, {"ED9F41", kWhole, 0}, {"EDA04141", kWhole, 0},
        {"F0908041", kWhole, 0}, {"F0904142", kWhole, 0}, {"F4908041", kWhole, 0},
        {"F48FBF41", kWhole, 0}, {"F0804142", kWhole, 0}, {"F8888080804141", kWhole, 0},
        {"EFBFBE", kWhole, 0}, {"E1808041", kWhole, 0}, {"F3BFBFBF41", kWhole, 0},
        // a surrogate pair with room for one half, at the end and before more input
        {"F09F988041", kWhole, 0, 1}, {"41F09F9880", kWhole, 0, 2}, {"F09F9880", -1, 0, 1},
        // clang-format on
    };
    return cases;
}

inline const std::vector<Case>& wideCases() {
    static const std::vector<Case> cases = {
        // clang-format off
        {"", 0, 0}, {"", -1, 0}, {"0041", kWhole, 0}, {"0041 0042 0043", -1, 0},
        {"0041 0042", -2, 0}, {"0041", kWhole, 0x200}, {"007F 0080 07FF 0800 FFFF", kWhole, 0},
        {"4E2D 00E9", kWhole, 0}, {"D83D DE00", kWhole, 0}, {"D83D DE00", 1, 0},
        {"DBFF DFFF", kWhole, 0}, {"FEFF 0041", kWhole, 0}, {"D800", kWhole, 0},
        {"DC00", kWhole, 0}, {"D800 0041", kWhole, 0}, {"0041 DC00", kWhole, 0},
        {"DC00 D800", kWhole, 0}, {"D800 D800 DC00", kWhole, 0}, {"D800", -1, 0},
        {"0041 0000 0042", kWhole, 0}, {"0041 0000 0042", -1, 0},
        // clang-format on
    };
    return cases;
}

template <class T> std::vector<T> parse(const char* hex, int digits) {
    std::vector<T> out;
    std::string clean;
    for (const char* p = hex; *p; ++p)
        if (*p != ' ') clean += *p;
    for (size_t i = 0; i + digits <= clean.size(); i += digits)
        out.push_back(T(std::stoul(clean.substr(i, digits), nullptr, 16)));
    return out;
}

template <class T> std::string hexOf(const T* p, int n, int digits) {
    std::string s;
    char part[8];
    for (int i = 0; i < n; ++i) {
        std::snprintf(part, sizeof part, "%0*X", digits,
                      unsigned(p[i]) & (digits == 2 ? 0xFF : 0xFFFF));
        s += part;
    }
    return s;
}

// Runs one input at every output size that tells something: measuring (room 0),
// exactly the measured size (flags 0), and one less; each with the case's flags
// and with the error flag added.
template <class In, class Out, class Convert>
void runCase(std::string& text, const char* tag, const Case& c, unsigned long errorFlag,
             int inDigits, int outDigits, Convert convert) {
    std::vector<In> input = parse<In>(c.hex, inDigits);
    const int whole = int(input.size());
    input.push_back(0); // terminated, for len -1
    const int len = c.len == kWhole ? whole : c.len;
    pf::platform::setLastError(kUntouched);
    const int exact = convert(c.flags, input.data(), len, static_cast<Out*>(nullptr), 0);
    std::vector<int> rooms = {0};
    if (exact > 0) rooms.push_back(exact);
    if (exact > 1) rooms.push_back(exact - 1);
    if (c.room) rooms.push_back(c.room);
    for (unsigned long flags : {c.flags, c.flags | errorFlag}) {
        for (int room : rooms) {
            std::vector<Out> out(size_t(room) + 1, Out(0x55));
            pf::platform::setLastError(kUntouched);
            const int r = convert(flags, input.data(), len, room ? out.data() : nullptr, room);
            const unsigned long err = pf::platform::lastError();
            char head[160];
            std::snprintf(head, sizeof head, "%s in=%s len=%d flags=0x%lX room=%d -> %d", tag,
                          hexOf(input.data(), whole, inDigits).c_str(), len, flags, room, r);
            text += head;
            if (r == 0) text += " err=" + std::to_string(err);
            if (r > 0 && room > 0) text += " out=" + hexOf(out.data(), r, outDigits);
            text += "\n";
        }
    }
}

// The whole table as text, one line per call.
inline std::string run() {
    using namespace pf::platform;
    std::string text;
    for (const Case& c : narrowCases())
        runCase<char, unsigned short>(
            text, "mb", c, mbErrInvalidChars, 2, 4,
            [](unsigned long f, const char* s, int n, unsigned short* d, int room) {
                return multiByteToWide(codePageUtf8, f, s, n, d, room);
            });
    for (const Case& c : wideCases())
        runCase<unsigned short, char>(
            text, "wc", c, wcErrInvalidChars, 4, 2,
            [](unsigned long f, const unsigned short* s, int n, char* d, int room) {
                return wideToMultiByte(codePageUtf8, f, s, n, d, room);
            });
    return text;
}

} // namespace codepage_table
