// ZvString against std::u16string (append, copy, search) and against glibc's
// iconv (UTF-16 to UTF-8 and back, 1 MiB of mixed text and 1 MiB of ASCII: the
// argument 0 or 1 of those cases), and pubfunc's
// toWideString/toNarrowString against iconv on 1 KiB and 1 MiB, with a ratio table.
#include <pubfunc/pubfunc.h>
#include <pubfunc/zvtextcodec.h>

#include "bench_ratio.h"

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

namespace {

typedef std::u16string u16;

const unsigned short* units(const u16& s) {
    return reinterpret_cast<const unsigned short*>(s.data());
}

// 1 MiB of UTF-8 mixing ASCII, Latin-1, CJK and characters outside the BMP.
const std::string& mixedUtf8() {
    static const std::string text = [] {
        const std::string piece = "The quick brown fox \xE2\x80\x94 "
                                  "\xE9\x80\x9F\xE3\x81\x84\xE8\x8C\xB6\xE8\x89\xB2\xE3\x81\xAE"
                                  "\xE7\x8B\x90 \xC2\xA1Hola se\xC3\xB1or! \xF0\x9F\x98\x80 ";
        std::string t;
        while (t.size() + piece.size() <= (1u << 20))
            t += piece;
        return t;
    }();
    return text;
}

const u16& mixedUtf16() {
    static const u16 text = [] {
        const ZvString s = ZvString::fromUtf8(mixedUtf8().data(), int(mixedUtf8().size()));
        return u16(reinterpret_cast<const char16_t*>(s.constString()), size_t(s.size()));
    }();
    return text;
}

// 1 MiB of plain ASCII prose, in both encodings.
const std::string& asciiUtf8() {
    static const std::string text = [] {
        std::string t;
        while (t.size() < (1u << 20))
            t += "The quick brown fox jumps over the lazy dog; 0123456789. ";
        return t.substr(0, 1u << 20);
    }();
    return text;
}
const u16& asciiUtf16() {
    static const u16 text(asciiUtf8().begin(), asciiUtf8().end());
    return text;
}

// The text of a conversion case: its argument 1 is ASCII, 0 the mixed text.
const std::string& utf8Of(const benchmark::State& state) {
    return state.range(0) ? asciiUtf8() : mixedUtf8();
}
const u16& utf16Of(const benchmark::State& state) {
    return state.range(0) ? asciiUtf16() : mixedUtf16();
}

constexpr int kUnits = 1 << 20;

const u16& haystack() {
    static const u16 text = [] {
        u16 t;
        for (int i = 0; i < kUnits; ++i)
            t += char16_t(u'a' + i % 7); // never holds the needle's "z"
        t.replace(t.size() - 8, 8, u"abcdefgz");
        return t;
    }();
    return text;
}
const u16 kNeedle = u"abcdefgz";

void Append_ZvString(benchmark::State& state) {
    for (auto _ : state) {
        ZvString s;
        for (int i = 0; i < kUnits; ++i)
            s.append(static_cast<unsigned short>('a' + (i & 15)));
        benchmark::DoNotOptimize(s.constString());
    }
}
void Append_U16String(benchmark::State& state) {
    for (auto _ : state) {
        u16 s;
        for (int i = 0; i < kUnits; ++i)
            s.push_back(char16_t('a' + (i & 15)));
        benchmark::DoNotOptimize(s.data());
    }
}

void Copy_ZvString(benchmark::State& state) {
    const ZvString src = ZvString::fromWCharArray(units(haystack()), kUnits);
    for (auto _ : state) {
        ZvString copy(src);
        benchmark::DoNotOptimize(copy.constString());
    }
}
void Copy_U16String(benchmark::State& state) {
    const u16& src = haystack();
    for (auto _ : state) {
        u16 copy(src);
        benchmark::DoNotOptimize(copy.data());
    }
}

void IndexOf_ZvString(benchmark::State& state) {
    const ZvString hay = ZvString::fromWCharArray(units(haystack()), kUnits);
    const ZvString needle = ZvString::fromWCharArray(units(kNeedle), 8);
    for (auto _ : state)
        benchmark::DoNotOptimize(hay.indexOf(needle));
}
void IndexOf_U16String(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(haystack().find(kNeedle));
}

void ToUtf8_ZvString(benchmark::State& state) {
    const ZvString s = ZvString::fromWCharArray(units(utf16Of(state)), int(utf16Of(state).size()));
    for (auto _ : state) {
        const ZvByteArray out = s.toUtf8();
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(utf8Of(state).size()));
}

// iconv into a buffer allocated once; the library allocates its result each time.
void iconvRun(benchmark::State& state, const char* to, const char* from, const char* in,
              size_t inBytes, size_t outBytes, size_t utf8Bytes = mixedUtf8().size()) {
    iconv_t cd = iconv_open(to, from);
    std::string out(outBytes, '\0');
    for (auto _ : state) {
        char* src = const_cast<char*>(in);
        char* dst = &out[0];
        size_t inLeft = inBytes, outLeft = outBytes;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        benchmark::DoNotOptimize(iconv(cd, &src, &inLeft, &dst, &outLeft));
    }
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(utf8Bytes));
}

void ToUtf8_Iconv(benchmark::State& state) {
    const u16& in = utf16Of(state);
    iconvRun(state, "UTF-8", "UTF-16LE", reinterpret_cast<const char*>(in.data()), in.size() * 2,
             utf8Of(state).size() + 16, utf8Of(state).size());
}

void FromUtf8_ZvString(benchmark::State& state) {
    const std::string& in = utf8Of(state);
    for (auto _ : state) {
        const ZvString s = ZvString::fromUtf8(in.data(), int(in.size()));
        benchmark::DoNotOptimize(s.constString());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}
// The codec's path: a stack attempt, a measure, then the conversion.
void FromUtf8_Codec(benchmark::State& state) {
    const std::string& in = utf8Of(state);
    const ZvTextCodec codec(ZvTextCodec::Utf8);
    for (auto _ : state) {
        const ZvString s = codec.toUnicode(in.data(), int(in.size()));
        benchmark::DoNotOptimize(s.constString());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}
void FromUtf8_Iconv(benchmark::State& state) {
    const std::string& in = utf8Of(state);
    iconvRun(state, "UTF-16LE", "UTF-8", in.data(), in.size(), in.size() * 2 + 16, in.size());
}

// The mixed text cut to at most bytes, on a character boundary, both ways.
struct Sample {
    std::string utf8;
    u16 utf16;
};
const Sample& sample(size_t bytes) {
    static std::map<size_t, Sample> samples;
    Sample& s = samples[bytes];
    if (s.utf8.empty()) {
        size_t n = std::min(bytes, mixedUtf8().size());
        while (n > 0 && (static_cast<unsigned char>(mixedUtf8()[n]) & 0xC0) == 0x80)
            --n;
        s.utf8 = mixedUtf8().substr(0, n);
        const ZvString z = ZvString::fromUtf8(s.utf8.data(), int(n));
        s.utf16 = u16(reinterpret_cast<const char16_t*>(z.constString()), size_t(z.size()));
    }
    return s;
}

void ToWideString_Pubfunc(benchmark::State& state) {
    const Sample& s = sample(size_t(state.range(0)));
    for (auto _ : state) {
        const wstring16 w = pubfunc::toWideString(s.utf8.data(), int(s.utf8.size()), 65001);
        benchmark::DoNotOptimize(w.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.utf8.size()));
}
void ToWideString_Iconv(benchmark::State& state) {
    const Sample& s = sample(size_t(state.range(0)));
    iconvRun(state, "UTF-16LE", "UTF-8", s.utf8.data(), s.utf8.size(), s.utf8.size() * 2 + 16,
             s.utf8.size());
}
void ToNarrowString_Pubfunc(benchmark::State& state) {
    const Sample& s = sample(size_t(state.range(0)));
    for (auto _ : state) {
        const std::string n = pubfunc::toNarrowString(s.utf16.data(), int(s.utf16.size()), 65001);
        benchmark::DoNotOptimize(n.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.utf8.size()));
}
void ToNarrowString_Iconv(benchmark::State& state) {
    const Sample& s = sample(size_t(state.range(0)));
    iconvRun(state, "UTF-8", "UTF-16LE", reinterpret_cast<const char*>(s.utf16.data()),
             s.utf16.size() * 2, s.utf8.size() + 16, s.utf8.size());
}

} // namespace

BENCHMARK(Append_ZvString)->Name("append_1M_units/pubfunc")->Unit(benchmark::kMicrosecond);
BENCHMARK(Append_U16String)->Name("append_1M_units/u16string")->Unit(benchmark::kMicrosecond);
BENCHMARK(Copy_ZvString)->Name("copy_1M_units/pubfunc");
BENCHMARK(Copy_U16String)->Name("copy_1M_units/u16string");
BENCHMARK(IndexOf_ZvString)->Name("indexOf_8_in_1M/pubfunc")->Unit(benchmark::kMicrosecond);
BENCHMARK(IndexOf_U16String)->Name("indexOf_8_in_1M/u16string")->Unit(benchmark::kMicrosecond);
BENCHMARK(ToUtf8_ZvString)->Name("toUtf8_1MiB/pubfunc")->Arg(0)->Arg(1);
BENCHMARK(ToUtf8_Iconv)->Name("toUtf8_1MiB/iconv")->Arg(0)->Arg(1);
BENCHMARK(FromUtf8_ZvString)->Name("utf8_to_utf16_1MiB/pubfunc-fromUtf8")->Arg(0)->Arg(1);
BENCHMARK(FromUtf8_Codec)->Name("utf8_to_utf16_1MiB/pubfunc-codec")->Arg(0)->Arg(1);
BENCHMARK(FromUtf8_Iconv)->Name("utf8_to_utf16_1MiB/iconv")->Arg(0)->Arg(1);

BENCHMARK(ToWideString_Pubfunc)->Name("toWideString/pubfunc")->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(ToWideString_Iconv)->Name("toWideString/iconv")->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(ToNarrowString_Pubfunc)->Name("toNarrowString/pubfunc")->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(ToNarrowString_Iconv)->Name("toNarrowString/iconv")->Arg(1 << 10)->Arg(1 << 20);

PUBFUNC_BENCH_MAIN()
