// pubfunc's text functions: code-page conversion, percent-encoding, hex text,
// splitting, case mapping and path text.
#include <pubfunc/pubfunc.h>

#include "platform/codepage.h"

#include <cwctype>
#include <memory>

namespace {

const unsigned short* units(const wchar16* text) {
    return reinterpret_cast<const unsigned short*>(text);
}

// The output size of a conversion, with the terminator taken off when the input
// ran to it; 0 means nothing to return.
int resultSize(int platformSize, int length) {
    if (platformSize <= 0) return 0;
    return length == -1 ? platformSize - 1 : platformSize;
}

const char kHexUpper[] = "0123456789ABCDEF";
const char kHexLower[] = "0123456789abcdef";

// The bytes that percent-encoding keeps: what isalnum accepts in the C locale,
// and '.'. Tested directly so that no locale can change the result.
bool keptInUrl(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.';
}

constexpr wchar16 kFirstCjk = 0x4E00;
constexpr wchar16 kLastCjk = 0x9FBF;

} // namespace

wstring16 pubfunc::toWideString(const char* text, int length, unsigned int codePage) {
    if (!text || length < -1) return wstring16();
    const int size =
        resultSize(pf::platform::multiByteToWide(codePage, 0, text, length, nullptr, 0), length);
    if (size == 0) return wstring16();
    // The terminator needs room of its own while converting, then goes.
    wstring16 out(size_t(size) + (length == -1 ? 1 : 0), wchar16(0));
    pf::platform::multiByteToWide(codePage, 0, text, length,
                                  reinterpret_cast<unsigned short*>(&out[0]), int(out.size()));
    out.resize(size_t(size));
    return out;
}

std::string pubfunc::toNarrowString(const wchar16* text, int length, unsigned int codePage) {
    if (!text || length < -1) return std::string();
    const int size = resultSize(
        pf::platform::wideToMultiByte(codePage, 0, units(text), length, nullptr, 0), length);
    if (size == 0) return std::string();
    std::string out(size_t(size) + (length == -1 ? 1 : 0), '\0');
    pf::platform::wideToMultiByte(codePage, 0, units(text), length, &out[0], int(out.size()));
    out.resize(size_t(size));
    return out;
}

std::string pubfunc::toUtf8String(const wchar16* text) {
    if (!text) return std::string();
    const int size =
        pf::platform::wideToMultiByte(pf::platform::kCodePageUtf8, 0, units(text), -1, nullptr, 0);
    if (size <= 0) return std::string();
    std::string out(size_t(size), '\0');
    pf::platform::wideToMultiByte(pf::platform::kCodePageUtf8, 0, units(text), -1, &out[0], size);
    return out;
}

std::string pubfunc::URLEncode2(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == 0) break;
        if (keptInUrl(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHexUpper[c >> 4];
            out += kHexUpper[c & 0xF];
        }
    }
    return out;
}

std::string pubfunc::URLEncode2(const wstring16& text) {
    // Converted with its terminator, so an embedded NUL ends the text there.
    const unsigned short* src = units(text.c_str());
    const int size =
        pf::platform::wideToMultiByte(pf::platform::kCodePageUtf8, 0, src, -1, nullptr, 0);
    if (size <= 0) return std::string();
    std::unique_ptr<char[]> utf8(new char[size_t(size)]);
    pf::platform::wideToMultiByte(pf::platform::kCodePageUtf8, 0, src, -1, utf8.get(), size);
    return URLEncode2(std::string(utf8.get()));
}

// Every byte asked for is written, past 32 bytes too: the text is as long as
// the data, never cut at a digest's usual size.
std::string pubfunc::getHashString(const char* data, int length) {
    if (!data || length <= 0) return std::string();
    std::string out(size_t(length) * 2, '\0');
    for (int i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        out[size_t(i) * 2] = kHexLower[c >> 4];
        out[size_t(i) * 2 + 1] = kHexLower[c & 0xF];
    }
    return out;
}

// An empty separator matches nowhere (rather than everywhere), so the text is
// appended whole.
void pubfunc::splitString(const wstring16& text, const wstring16& separator,
                          std::vector<wstring16>& out) {
    size_t start = 0;
    if (!separator.empty())
        for (size_t at = text.find(separator); at != wstring16::npos;
             at = text.find(separator, start)) {
            out.push_back(text.substr(start, at - start));
            start = at + separator.size();
        }
    out.push_back(text.substr(start));
}

bool pubfunc::hasChinese(const wstring16& text) {
    for (const wchar16 c : text)
        if (c >= kFirstCjk && c <= kLastCjk) return true;
    return false;
}

void pubfunc::ToLower(wstring16& text) {
    for (wchar16& c : text)
        c = wchar16(std::towlower(std::wint_t(c)));
}

void pubfunc::ToUpper(wstring16& text) {
    for (wchar16& c : text)
        c = wchar16(std::towupper(std::wint_t(c)));
}

wstring16 pubfunc::getFileNameFromUrl(const wstring16& text) {
    const size_t at = text.rfind(wchar16('/'));
    return at == wstring16::npos ? wstring16() : text.substr(at + 1);
}

wstring16 pubfunc::getFileExtensionName(const wstring16& text) {
    const size_t at = text.rfind(wchar16('.'));
    return at == wstring16::npos ? wstring16() : text.substr(at + 1);
}
