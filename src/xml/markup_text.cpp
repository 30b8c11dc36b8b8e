// CMarkup: escaping and unescaping of markup characters and references, and the
// document's own UTF-8 and UTF-16 character codec.
//
// The codec is deliberately lenient and differs from the library's strict one
// behind the code pages: a UTF-8 lead byte is classified by three bits only,
// continuation bytes are checked for their top bit only, overlong forms and
// surrogate values pass, and a bad sequence costs one '?' rather than U+FFFD. A
// document file therefore always loads, whatever bytes it holds.
#include <pubfunc/markup.h>

#include "core/simd.h"
#include "core/u16.h"
#include "xml/markup_chars.h"

#include <algorithm>
#include <climits>

namespace {

using unit = pf::u16::unit;

constexpr wchar16 kInvalid = '?';

// The units of a reference after '&': a letter, '_', ':' or a unit >= 0x80 anywhere;
// '#' only first; digits, '-' and '.' only after the first.
bool isRefLetter(unsigned c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}
bool isRefStart(unsigned c) {
    return isRefLetter(c) || c == '#';
}
bool isRefUnit(unsigned c) {
    return isRefLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// The named references, tried in this order.
struct NamedRef {
    const char* name; // after '&', ';' included
    int length;
    wchar16 value;
};
constexpr NamedRef kNamedRefs[] = {
    {"lt;", 3, '<'}, {"amp;", 4, '&'}, {"gt;", 3, '>'}, {"apos;", 5, '\''}, {"quot;", 5, '"'}};

constexpr pf::simd::UnitSet kAmpersand = {{'&', '&', '&', '&'}, 0};

// A numeric reference looks this far past "&#" or "&#x" for its ';'.
constexpr int kNumericRefReach = 8;

int digitValue(unsigned c) {
    if (c >= '0' && c <= '9') return int(c - '0');
    if (c >= 'a' && c <= 'z') return int(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z') return int(c - 'A' + 10);
    return 99;
}

// What the C runtime's wide string-to-long conversion reads from s in base 10 or
// 16: leading blanks, a sign, a "0x" prefix in base 16, then digits. The caller
// passes at most kNumericRefReach units ending in ';', so the value cannot leave
// the 32-bit range.
long readLong(const wchar16* s, int base) {
    int i = 0;
    while (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))
        ++i;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
    if (base == 16 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
        digitValue(s[i + 2]) < 16)
        i += 2;
    long value = 0;
    for (int d; (d = digitValue(s[i])) < base; ++i)
        value = value * base + d;
    return negative ? -value : value;
}

// The length of the UTF-8 sequence a lead byte opens, by its bits 5, 4 and 3; 1
// for ASCII and for a lead that opens none.
int sequenceLength(unsigned lead) {
    if (lead < 0x80) return 1;
    if (!(lead & 0x20)) return 2;
    if (!(lead & 0x10)) return 3;
    if (!(lead & 0x08)) return 4;
    return 1;
}

} // namespace

wstring16 CMarkup::EscapeText(MCD_CSTR text, int flags) {
    wstring16 out;
    if (!text.text) return out;
    const wchar16* s = text.text;
    const int n = pf::u16::length(reinterpret_cast<const unit*>(s));
    out.reserve(size_t(n + n / 10 + 7));
    const bool quotes = (flags & NF_ESCAPE_QUOTES) != 0;
    const bool keepRefs = (flags & NF_WITH_REFS) != 0;
    for (int i = 0; i < n; ++i) {
        const wchar16 c = s[i];
        switch (c) {
        case '<':
            out += W16("&lt;");
            break;
        case '>':
            out += W16("&gt;");
            break;
        case '\'':
            if (quotes)
                out += W16("&apos;");
            else
                out += c;
            break;
        case '"':
            if (quotes)
                out += W16("&quot;");
            else
                out += c;
            break;
        case '&':
            if (keepRefs && isRefStart(s[i + 1])) {
                int j = i + 2;
                while (s[j] != ';' && isRefUnit(s[j]))
                    ++j;
                if (s[j] == ';') {
                    out.append(s + i, size_t(j - i + 1));
                    i = j;
                    break;
                }
            }
            out += W16("&amp;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A named reference must lie wholly within length. A numeric one is looked for in
// the terminated text: its ';' may lie past length (the value is taken and the run
// ends there), and only a 0 unit or the end of its reach stops the search. So
// "&#65;" over 4 units gives "A", and the whole text is never read past its end.
// Text between references is appended a run at a time.
void pf::xml::unescapeAppend(wstring16& out, const wchar16* s, int length) {
    for (int i = 0; i < length; ++i) {
        const wchar16 c = s[i];
        if (c != '&') {
            const int run = pf::simd::find(s, i, length, kAmpersand);
            out.append(s + i, size_t(run - i));
            i = run - 1;
            continue;
        }
        if (s[i + 1] == '#') {
            int digits = i + 2;
            int base = 10;
            if (s[digits] == 'x') {
                base = 16;
                ++digits;
            }
            int semi = -1;
            for (int j = digits; j < digits + kNumericRefReach && s[j]; ++j) {
                if (s[j] == ';') {
                    semi = j;
                    break;
                }
            }
            if (semi >= 0) {
                const long value = readLong(s + digits, base);
                if (value) {
                    out += wchar16(value & 0xFFFF);
                    i = semi;
                    continue;
                }
            }
        } else {
            const NamedRef* found = nullptr;
            for (const NamedRef& r : kNamedRefs) {
                if (i + r.length >= length) continue;
                int k = 0;
                while (k < r.length && s[i + 1 + k] == wchar16(r.name[k]))
                    ++k;
                if (k == r.length) {
                    found = &r;
                    break;
                }
            }
            if (found) {
                out += found->value;
                i += found->length;
                continue;
            }
        }
        out += c;
    }
}

// A text without any reference is one copy, made in a string of just its size.
wstring16 CMarkup::UnescapeText(MCD_CSTR text, int length) {
    const wchar16* s = text.text;
    if (!s) return wstring16();
    if (length < 0) length = pf::u16::length(reinterpret_cast<const unit*>(s));
    if (pf::simd::find(s, 0, length, kAmpersand) == length) return wstring16(s, size_t(length));
    wstring16 out;
    out.reserve(size_t(length));
    pf::xml::unescapeAppend(out, s, length);
    return out;
}

namespace {
// The decoder behind DecodeCharUTF8, inline for the buffer conversion.
inline int decodeUtf8(const unsigned char*& p) {
    const unsigned lead = *p++;
    if (lead < 0x80) return int(lead);
    const int n = sequenceLength(lead);
    if (n == 1) return -1;
    int c = int(lead & (0xFFu >> (n + 1)));
    for (int k = 1; k < n; ++k) {
        const unsigned b = *p;
        if (b < 0x80) return -1;
        ++p;
        c = c * 64 + int(b & 0x3F);
    }
    return c;
}
} // namespace

int CMarkup::DecodeCharUTF8(const char*& p) {
    const unsigned char* q = reinterpret_cast<const unsigned char*>(p);
    const int c = decodeUtf8(q);
    p = reinterpret_cast<const char*>(q);
    return c;
}

void CMarkup::EncodeCharUTF8(int c, char* buf, int& count) {
    const unsigned u = unsigned(c);
    if (u <= 0x7F) {
        if (buf) buf[count] = char(u);
        count += 1;
    } else if (u <= 0x7FF) {
        if (buf) {
            buf[count] = char(0xC0 | (u >> 6));
            buf[count + 1] = char(0x80 | (u & 0x3F));
        }
        count += 2;
    } else if (u <= 0xFFFF) {
        if (buf) {
            buf[count] = char(0xE0 | (u >> 12));
            buf[count + 1] = char(0x80 | ((u >> 6) & 0x3F));
            buf[count + 2] = char(0x80 | (u & 0x3F));
        }
        count += 3;
    } else {
        if (buf) {
            buf[count] = char(0xF0 | ((u >> 18) & 0x07));
            buf[count + 1] = char(0x80 | ((u >> 12) & 0x3F));
            buf[count + 2] = char(0x80 | ((u >> 6) & 0x3F));
            buf[count + 3] = char(0x80 | (u & 0x3F));
        }
        count += 4;
    }
}

int CMarkup::DecodeCharUTF16(const wchar16*& p) {
    const unsigned first = unit(*p);
    if (first < 0xD800 || first > 0xDFFF) {
        ++p;
        return int(first);
    }
    const unsigned second = unit(p[1]);
    if (!second) {
        ++p;
        return -1;
    }
    p += 2;
    return int((((first & 0x3FF) << 10) | (second & 0x3FF)) + 0x10000);
}

void CMarkup::EncodeCharUTF16(int c, wchar16* buf, int& count) {
    if (c < 0x10000) {
        if (buf) buf[count] = wchar16(c);
        count += 1;
        return;
    }
    if (buf) {
        buf[count] = wchar16(0xD800 | (((c - 0x10000) >> 10) & 0x3FF));
        buf[count + 1] = wchar16(0xDC00 | (c & 0x3FF));
    }
    count += 2;
}

// Most of any document is ASCII, and this loop decides the speed of Load: runs of
// ASCII text are counted and widened 16 bytes at a time, and only the other bytes
// go through the decoder. A read may stop early at a limit of units and go on
// later, so that a file's text can be written in pieces.
namespace {

struct Utf8Reader {
    const unsigned char* b;
    int n;
    int i = 0;         // bytes consumed
    bool done = false; // the bytes ran out, a 0 came, or a sequence was cut by the end

    // Counts (kFill false) or writes the units of the characters that follow, up to
    // limit units (a surrogate pair is not split); returns how many.
    template <bool kFill> int read(wchar16* dest, int limit) {
        int units = 0;
        while (i < n) {
            const int run = pf::simd::asciiRun(b + i, std::min(n - i, limit - units));
            if (kFill) pf::simd::widen(dest + units, b + i, run);
            i += run;
            units += run;
            if (i >= n) break;
            if (units == limit) return units;
            // Two- and three-byte sequences, most of any text that is not ASCII, are
            // decoded here while they follow one another. The rest (other leads,
            // sequences cut by the end, bad continuations, a decoded 0, ASCII after
            // such a run) takes the decoder below.
            while (units < limit) {
                const unsigned lead = b[i];
                unsigned c;
                int length;
                if ((lead & 0xE0) == 0xC0 && i + 1 < n && b[i + 1] >= 0x80) {
                    c = (lead & 0x1F) << 6 | (b[i + 1] & 0x3Fu);
                    length = 2;
                } else if ((lead & 0xF0) == 0xE0 && i + 2 < n && b[i + 1] >= 0x80 &&
                           b[i + 2] >= 0x80) {
                    c = (lead & 0x0F) << 12 | (b[i + 1] & 0x3Fu) << 6 | (b[i + 2] & 0x3Fu);
                    length = 3;
                } else {
                    break;
                }
                if (!c) break;
                if (kFill) dest[units] = wchar16(c);
                ++units;
                i += length;
            }
            if (i >= n) break;
            if (units == limit) return units;
            const unsigned lead = b[i];
            if (i + sequenceLength(lead) > n) {
                // Cut by the end, unless a byte that cannot continue it comes first.
                int k = i + 1;
                while (k < n && b[k] >= 0x80)
                    ++k;
                if (k == n) break;
            }
            const unsigned char* p = b + i;
            int c = decodeUtf8(p);
            if (!c) {
                i = int(p - b);
                break;
            }
            if (c < 0) c = kInvalid;
            if (units + (c < 0x10000 ? 1 : 2) > limit) return units;
            i = int(p - b);
            if (c < 0x10000) {
                if (kFill) dest[units] = wchar16(c);
                ++units;
            } else {
                CMarkup::EncodeCharUTF16(c, kFill ? dest : nullptr, units);
            }
        }
        done = true;
        return units;
    }
};

constexpr int kNoLimit = INT_MAX;

} // namespace

int CMarkup::UTF8To16(wchar16* dest, const char* src, int n) {
    Utf8Reader r{reinterpret_cast<const unsigned char*>(src), src ? n : 0}; // no text: 0 units
    if (!dest) return r.read<false>(nullptr, kNoLimit);
    dest[r.read<true>(dest, kNoLimit)] = 0;
    return r.i;
}

// The string is never filled with zeros first: the units that fit in its old length
// are written in place and the rest appended from a small buffer.
int pf::xml::utf8ToText(const char* src, int n, wstring16& text) {
    const unsigned char* const b = reinterpret_cast<const unsigned char*>(src);
    const int units = Utf8Reader{b, n}.read<false>(nullptr, kNoLimit);
    Utf8Reader r{b, n};
    const int inPlace = std::min(units, int(text.size()));
    text.resize(size_t(inPlace));
    text.resize(size_t(r.read<true>(&text[0], inPlace)));
    text.reserve(size_t(units));
    wchar16 piece[4096];
    while (!r.done)
        text.append(piece, size_t(r.read<true>(piece, int(sizeof piece / sizeof *piece))));
    return units;
}

int CMarkup::UTF16To8(char* dest, const wchar16* src, int size) {
    int count = 0;
    if (!src) return 0;
    char bytes[4];
    while (*src) {
        int c = DecodeCharUTF16(src);
        if (c < 0) c = kInvalid;
        if (!dest) {
            EncodeCharUTF8(c, nullptr, count);
            continue;
        }
        int n = 0;
        EncodeCharUTF8(c, bytes, n);
        if (count + n > size) break;
        for (int k = 0; k < n; ++k)
            dest[count++] = bytes[k];
    }
    if (dest && count < size) dest[count] = 0;
    return count;
}
