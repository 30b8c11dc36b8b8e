// pf::format: printf-style formatting over 16-bit wide text, one implementation for
// every platform.
#include "core/format.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

namespace pf {
namespace {

struct Field {
    bool left = false, plus = false, blank = false, alt = false, zero = false;
    int width = 0;
    int precision = -1; // -1: none given
    enum Size { Default, Short, Long, LongLong, Ptr } size = Default;
    bool narrow = false; // h on %s/%c, or %S/%C
    bool wide = false;   // l or w on %s/%c
};

// Where formatted units go: a growing wide string, or a caller's fixed buffer that
// keeps what fits and counts the rest. Neither allocates except the string growing,
// so formatting into a buffer (pool reports, log lines) touches no heap for the
// integer, character and string conversions.
class Out {
public:
    explicit Out(wstring16& text) : text(&text) {}
    Out(wchar16* buf, size_t cap) : buf(buf), cap(cap) {}

    size_t total() const { return count; }

    template <typename Unit> void put(const Unit* s, size_t n) {
        if (text) {
            if constexpr (sizeof(Unit) == 1) {
                const size_t at = text->size();
                text->resize(at + n);
                for (size_t i = 0; i < n; ++i)
                    (*text)[at + i] = wchar16(static_cast<unsigned char>(s[i]));
            } else {
                text->append(s, n);
            }
        } else {
            const size_t room = count < cap ? cap - count : 0;
            const size_t k = n < room ? n : room;
            for (size_t i = 0; i < k; ++i)
                buf[count + i] = wchar16(static_cast<std::make_unsigned_t<Unit>>(s[i]));
        }
        count += n;
    }
    void repeat(wchar16 unit, size_t n) {
        if (text) {
            text->append(n, unit);
        } else {
            for (size_t i = count; i < cap && i < count + n; ++i)
                buf[i] = unit;
        }
        count += n;
    }

private:
    wstring16* text = nullptr;
    wchar16* buf = nullptr;
    size_t cap = 0;
    size_t count = 0;
};

// A run of units of either width, so that narrow digits and wide arguments pass
// through emitField without being copied.
template <typename Unit> struct Run {
    const Unit* s;
    size_t n;
};
Run<char> run(const char* s) {
    return {s, std::strlen(s)};
}
Run<char> run(const std::string& s) {
    return {s.data(), s.size()};
}

// Writes one field with its padding: sign and prefix stay in front of zero padding,
// which in turn goes in front of the body; zeros are the leading zeros a precision
// asks of an integer (counted, never stored, as a precision may be 65,536).
template <typename Unit>
void emitField(Out& out, const Field& field, Run<char> prefix, Run<Unit> body, bool zeroPad,
               size_t zeros = 0) {
    const size_t len = prefix.n + zeros + body.n;
    const size_t pad = field.width > 0 && size_t(field.width) > len ? size_t(field.width) - len : 0;
    if (!field.left && !zeroPad) out.repeat(' ', pad);
    out.put(prefix.s, prefix.n);
    if (!field.left && zeroPad) out.repeat('0', pad);
    out.repeat('0', zeros);
    out.put(body.s, body.n);
    if (field.left) out.repeat(' ', pad);
}

const char* signPrefix(bool negative, const Field& field) {
    if (negative) return "-";
    if (field.plus) return "+";
    if (field.blank) return " ";
    return "";
}

void formatInteger(Out& out, const Field& field, wchar16 conv, uint64_t magnitude, bool negative) {
    const bool upper = conv == 'X';
    const unsigned base = conv == 'o' ? 8 : (conv == 'x' || conv == 'X') ? 16 : 10;
    const char* digitsOf = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[24]; // 22 octal digits hold 64 bits
    char* first = digits + sizeof digits;
    for (uint64_t v = magnitude; v; v /= base)
        *--first = digitsOf[v % base];
    const size_t n = size_t(digits + sizeof digits - first);
    // A precision is the minimum digit count; precision 0 prints nothing for 0.
    const size_t minDigits = field.precision < 0 ? 1 : size_t(field.precision);
    size_t zeros = n < minDigits ? minDigits - n : 0;
    const char* prefix = (conv == 'd' || conv == 'i') ? signPrefix(negative, field) : "";
    if (field.alt && magnitude != 0) {
        if (base == 16) prefix = upper ? "0X" : "0x";
        if (base == 8 && zeros == 0) zeros = 1; // the leading digit of octal is never 0
    }
    // The Windows runtime zero-pads even when a precision is given (%08.3d).
    emitField(out, field, run(prefix), Run<char>{first, n}, field.zero, zeros);
}

// Rounds the decimal digit string at position keep, ties away from zero, as the
// Windows runtime does. Returns true when the carry ran out of the front
// (999 -> 1000), which the caller turns into one more digit.
bool roundDigits(std::string& digits, size_t keep) {
    if (digits.size() <= keep) {
        digits.append(keep - digits.size(), '0');
        return false;
    }
    const bool up = digits[keep] >= '5';
    digits.resize(keep);
    if (!up) return false;
    for (size_t i = keep; i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
    return true;
}

// The exact decimal expansion of |x| (finite, non-zero) as significant digits and
// the decimal exponent of the first one. A double needs at most 767 significant
// digits, so 800 holds every one of them exactly.
void exactDigits(double x, std::string& digits, int& exponent) {
    char buf[900];
    std::snprintf(buf, sizeof buf, "%.800e", std::fabs(x));
    const char* e = std::strchr(buf, 'e');
    digits.assign(1, buf[0]);
    digits.append(buf + 2, size_t(e - (buf + 2)));
    exponent = std::atoi(e + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
}

std::string exponentText(int exponent, bool upper) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%c%03d", upper ? 'E' : 'e', exponent < 0 ? '-' : '+',
                  exponent < 0 ? -exponent : exponent);
    return buf;
}

// %e: d.ddd followed by the exponent.
std::string styleE(const std::string& exact, int exponent, int precision, bool alt, bool upper) {
    std::string d = exact;
    if (exact == "0") exponent = 0;
    if (roundDigits(d, size_t(precision) + 1)) {
        d.pop_back();
        ++exponent;
    }
    std::string s(1, d[0]);
    if (precision > 0 || alt) s += '.';
    s.append(d, 1, std::string::npos);
    return s + exponentText(exponent, upper);
}

// %f: all integer digits, then precision fractional digits.
std::string styleF(const std::string& exact, int exponent, int precision, bool alt) {
    std::string d; // digits from the units place down
    if (exact == "0") {
        d = "0";
    } else if (exponent >= 0) {
        d = exact;
        if (d.size() < size_t(exponent) + 1) d.append(size_t(exponent) + 1 - d.size(), '0');
    } else {
        d = std::string(size_t(-exponent), '0') + exact; // leading "0.000"
    }
    size_t intLen = exponent >= 0 && exact != "0" ? size_t(exponent) + 1 : 1;
    if (roundDigits(d, intLen + size_t(precision))) ++intLen;
    std::string s = d.substr(0, intLen);
    if (precision > 0 || alt) s += '.';
    s.append(d, intLen, std::string::npos);
    return s;
}

void stripTrailingZeros(std::string& s) {
    const size_t point = s.find('.');
    if (point == std::string::npos) return;
    size_t end = s.find_first_of("eE", point);
    if (end == std::string::npos) end = s.size();
    size_t cut = end;
    while (cut > point + 1 && s[cut - 1] == '0')
        --cut;
    if (cut == point + 1) --cut; // no fraction left: drop the point too
    s.erase(cut, end - cut);
}

// Infinities and NaNs keep the runtime's spelling, and its habit of treating the
// text after "1." as digits that precision pads with zeros or cuts with rounding
// (so %.1f of an infinity is "1.$").
std::string specialText(double x, int precision, wchar16 conv) {
    std::string tail = std::isinf(x) ? "#INF" : std::signbit(x) ? "#IND" : "#QNAN";
    const bool g = conv == 'g' || conv == 'G';
    const size_t keep = g ? size_t(precision > 0 ? precision - 1 : 0) : size_t(precision);
    if (tail.size() > keep) {
        const bool up = tail[keep] >= '5';
        tail.resize(keep);
        if (up && keep > 0) ++tail.back();
    } else if (!g) {
        tail.append(keep - tail.size(), '0');
    }
    std::string s = "1";
    if (!tail.empty()) s += "." + tail;
    if (conv == 'e' || conv == 'E') s += exponentText(0, conv == 'E');
    return s;
}

void formatFloat(Out& out, const Field& field, wchar16 conv, double x) {
    const bool upper = conv == 'E' || conv == 'G' || conv == 'A';
    const bool negative = std::signbit(x) && !(std::isnan(x) && std::signbit(x));
    int precision = field.precision < 0 ? 6 : field.precision;
    std::string body;
    if (conv == 'a' || conv == 'A') {
        // Room for every digit a precision (at most the field cap) asks for.
        const int digits = field.precision < 0 ? 13 : field.precision;
        body.resize(size_t(digits) + 32);
        const int n =
            std::snprintf(&body[0], body.size(), upper ? "%.*A" : "%.*a", digits, std::fabs(x));
        body.resize(n > 0 ? size_t(n) : 0);
    } else if (!std::isfinite(x)) {
        body = specialText(x, precision, conv);
    } else {
        std::string exact = "0";
        int exponent = 0;
        if (x != 0) exactDigits(x, exact, exponent);
        if (conv == 'e' || conv == 'E') {
            body = styleE(exact, exponent, precision, field.alt, upper);
        } else if (conv == 'f' || conv == 'F') {
            body = styleF(exact, exponent, precision, field.alt);
        } else {
            // %g: the exponent after rounding to P significant digits picks the style.
            const int p = precision == 0 ? 1 : precision;
            std::string d = exact;
            int e = exact == "0" ? 0 : exponent;
            if (roundDigits(d, size_t(p))) ++e;
            body = (e < -4 || e >= p) ? styleE(exact, exponent, p - 1, field.alt, upper)
                                      : styleF(exact, exponent, p - 1 - e, field.alt);
            if (!field.alt) stripTrailingZeros(body);
        }
    }
    // The NaN of the "indefinite" kind carries its sign inside its spelling.
    const char* prefix = signPrefix(negative, field);
    if (std::isnan(x) && std::signbit(x)) prefix = "-";
    emitField(out, field, run(prefix), run(body), field.zero && !field.left);
}

template <typename Unit> void formatText(Out& out, const Field& field, Run<Unit> text) {
    emitField(out, field, run(""), text, field.zero && !field.left);
}

// Widths and precisions, written or passed through *, are capped: every text the
// library formats is cut far below the cap, and a wild value (a garbage * argument)
// must not cost gigabytes of padding or digits.
constexpr int kMaxField = 1 << 16;

int readNumber(const wchar16*& p) {
    int n = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        n = n < kMaxField ? n * 10 + (*p - '0') : kMaxField;
    return n < kMaxField ? n : kMaxField;
}

// The one formatting loop, behind every entry point below.
void formatTo(Out& out, const wchar16* fmt, va_list args) {
    va_list ap;
    va_copy(ap, args);
    for (const wchar16* p = fmt; *p;) {
        if (*p != '%') {
            const wchar16* literal = p;
            while (*p && *p != '%')
                ++p;
            out.put(literal, size_t(p - literal));
            continue;
        }
        ++p;
        if (*p == '%') {
            out.repeat('%', 1);
            ++p;
            continue;
        }
        Field field;
        for (;; ++p) {
            if (*p == '-')
                field.left = true;
            else if (*p == '+')
                field.plus = true;
            else if (*p == ' ')
                field.blank = true;
            else if (*p == '#')
                field.alt = true;
            else if (*p == '0')
                field.zero = true;
            else
                break;
        }
        if (*p == '*') {
            field.width = va_arg(ap, int);
            if (field.width < 0) {
                field.left = true;
                field.width = field.width == INT32_MIN ? 0 : -field.width;
            }
            if (field.width > kMaxField) field.width = kMaxField;
            ++p;
        } else {
            field.width = readNumber(p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                field.precision = va_arg(ap, int);
                if (field.precision < 0) field.precision = -1;
                if (field.precision > kMaxField) field.precision = kMaxField;
                ++p;
            } else {
                field.precision = readNumber(p);
            }
        }
        // Size prefixes.
        if (*p == 'h') {
            field.size = Field::Short;
            field.narrow = true;
            ++p;
            if (*p == 'h') ++p;
        } else if (*p == 'l') {
            field.size = Field::Long;
            field.wide = true;
            ++p;
            if (*p == 'l') {
                field.size = Field::LongLong;
                ++p;
            }
        } else if (*p == 'w') {
            field.wide = true;
            ++p;
        } else if (*p == 'L' || *p == 'q') {
            field.size = Field::LongLong;
            ++p;
        } else if (*p == 'z' || *p == 'j' || *p == 't') {
            field.size = Field::Ptr;
            ++p;
        } else if (*p == 'I') {
            if (p[1] == '6' && p[2] == '4') {
                field.size = Field::LongLong;
                p += 3;
            } else if (p[1] == '3' && p[2] == '2') {
                field.size = Field::Default;
                p += 3;
            } else if (p[1] == 'd' || p[1] == 'i' || p[1] == 'u' || p[1] == 'o' || p[1] == 'x' ||
                       p[1] == 'X') {
                field.size = Field::Ptr;
                ++p;
            }
        }
        const wchar16 conv = *p;
        if (!conv) break;
        ++p;
        switch (conv) {
        case 'd':
        case 'i': {
            long long v;
            switch (field.size) {
            case Field::Short:
                v = short(va_arg(ap, int));
                break;
            case Field::Long:
                v = va_arg(ap, long);
                break;
            case Field::LongLong:
                v = va_arg(ap, long long);
                break;
            case Field::Ptr:
                v = static_cast<long long>(va_arg(ap, ptrdiff_t));
                break;
            default:
                v = va_arg(ap, int);
                break;
            }
            const uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            formatInteger(out, field, conv, mag, v < 0);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            uint64_t v;
            switch (field.size) {
            case Field::Short:
                v = static_cast<unsigned short>(va_arg(ap, unsigned));
                break;
            case Field::Long:
                v = va_arg(ap, unsigned long);
                break;
            case Field::LongLong:
                v = va_arg(ap, unsigned long long);
                break;
            case Field::Ptr:
                v = va_arg(ap, size_t);
                break;
            default:
                v = va_arg(ap, unsigned);
                break;
            }
            formatInteger(out, field, conv, v, false);
            break;
        }
        case 'p': {
            // Every hex digit of the pointer, upper case, with no prefix unless #;
            // the prefix goes in front of the padded digits.
            Field hex = field;
            hex.precision = int(2 * sizeof(void*));
            hex.alt = false;
            if (field.alt) out.put("0X", 2);
            formatInteger(out, hex, 'X', reinterpret_cast<uintptr_t>(va_arg(ap, void*)), false);
            break;
        }
        case 'c':
        case 'C': {
            const int v = va_arg(ap, int);
            const bool narrow = field.narrow || (conv == 'C' && !field.wide);
            const wchar16 unit = narrow ? wchar16(static_cast<unsigned char>(v)) : wchar16(v);
            formatText(out, field, Run<wchar16>{&unit, 1});
            break;
        }
        case 's':
        case 'S': {
            const bool narrow = field.narrow || (conv == 'S' && !field.wide);
            const size_t limit = field.precision < 0 ? size_t(-1) : size_t(field.precision);
            if (narrow) {
                const char* s = va_arg(ap, const char*);
                if (!s) s = "(null)";
                size_t n = 0;
                while (n < limit && s[n])
                    ++n;
                formatText(out, field, Run<char>{s, n});
            } else {
                const wchar16* s = va_arg(ap, const wchar16*);
                static const wchar16 nullText[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
                if (!s) s = nullText;
                size_t n = 0;
                while (n < limit && s[n])
                    ++n;
                formatText(out, field, Run<wchar16>{s, n});
            }
            break;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            formatFloat(out, field, conv, va_arg(ap, double));
            break;
        case 'n':
            (void)va_arg(ap, void*); // writing through it is a classic exploit: never
            break;
        default:
            out.repeat(conv, 1);
            break;
        }
    }
    va_end(ap);
}

} // namespace

size_t vformatAppend(wstring16& out, const wchar16* fmt, va_list args) {
    if (!fmt) return 0;
    const size_t start = out.size();
    Out sink(out);
    formatTo(sink, fmt, args);
    return out.size() - start;
}

wstring16 vformat(const wchar16* fmt, va_list args) {
    wstring16 out;
    vformatAppend(out, fmt, args);
    return out;
}

wstring16 format(const wchar16* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    wstring16 out = vformat(fmt, args);
    va_end(args);
    return out;
}

int vsnformat(wchar16* buf, size_t count, const wchar16* fmt, va_list args) {
    if (!fmt) return -1;
    Out sink(buf, count);
    formatTo(sink, fmt, args);
    const size_t n = sink.total();
    if (n < count) {
        buf[n] = 0;
        return int(n);
    }
    return n == count ? int(count) : -1;
}

int snformat(wchar16* buf, size_t count, const wchar16* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const int n = vsnformat(buf, count, fmt, args);
    va_end(args);
    return n;
}

} // namespace pf
